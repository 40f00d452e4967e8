// The control object: one engine instance, the control's own few fields, its window, its
// container site and its connected sinks. Reference counted; hosts reach it through the
// interfaces of rastrel3.h.
#pragma once

#include <QCursor>
#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <atomic>
#include <memory>
#include <vector>

#include "engine.h"
#include "rastrel3.h"

namespace rastrel::impl {

class CancelWatch;
class ControlWindow;
struct Member;
struct MapEntry;

class Control final : public IRastrel,
                      public IRastrelObject,
                      public IPersistPropertyBag,
                      public IPersistStreamInit {
 public:
  Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // IUnknown (shared by all the interfaces)
  HRESULT QueryInterface(const Guid& iid, void** out) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  // IRastrel
  HRESULT GetIDOfName(const QString& name, DISPID* dispid) override;
  HRESULT Invoke(DISPID dispid, InvokeKind kind, const Variant* args, int argCount, Variant* result,
                 ExcepInfo* excep) override;
  int MemberCount() override;
  HRESULT GetMemberInfo(int index, MemberInfo* info) override;

  // IRastrelObject
  HRESULT SetClientSite(IRastrelSite* site) override;
  HRESULT InPlaceActivate(QWidget* parent, const QRect& rect, QWidget** window) override;
  HRESULT SetObjectRects(const QRect& rect) override;
  HRESULT GetExtent(QSize* himetric) override;
  HRESULT SetExtent(const QSize& himetric) override;
  HRESULT Advise(const Guid& iid, IUnknown* sink, uint32_t* cookie) override;
  HRESULT Unadvise(uint32_t cookie) override;
  HRESULT IsDirty() override;
  HRESULT DoVerb(int32_t verb, QWidget* parent) override;

  // IPersistPropertyBag and IPersistStreamInit
  HRESULT InitNew() override;
  HRESULT Load(IPropertyBag* bag) override;
  HRESULT Save(IPropertyBag* bag, bool clearDirty, bool saveAllProperties) override;
  HRESULT Load(IStream* stream) override;
  HRESULT Save(IStream* stream, bool clearDirty) override;
  HRESULT GetSizeMax(uint64_t* size) override;

  // Shows the wait cursor while it lives, when ShowHourglass is true and there are windows.
  class BusyCursor {
   public:
    explicit BusyCursor(const Control& control);
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

   private:
    bool shown_ = false;
  };

  // A call that may run long (a load, a save, a scan, a processing method). While it lives the
  // control stays alive, the engine's polls run the event loop as Multitask, CancelLoad and
  // CancelMode ask (scans always, so the window stays responsive), and calls that would re-enter
  // the engine are refused with E_PENDING.
  class LongCall {
   public:
    explicit LongCall(Control& control);
    ~LongCall();
    LongCall(const LongCall&) = delete;
    LongCall& operator=(const LongCall&) = delete;

   private:
    Control& control_;
    BusyCursor busy_;
    bool outermost_;
  };
  bool inLongCall() const { return longCalls_ > 0; }

  // ---- used by the dispatch table and the window ----
  CV_HANDLE engine() const { return engine_; }
  // Ambient user mode, asked anew each time; run mode when the site cannot answer.
  bool runMode() const;
  // A property changed: in design mode set the dirty flag and tell the property-notify sinks.
  void changed(DISPID id);
  // Tells the property-notify sinks without the design-mode test (Enabled does so always).
  void notifySinks(DISPID id);
  void requestRepaint();
  void fireEvent(DISPID id, std::initializer_list<Variant> args);
  ControlWindow* window() const;
  bool hasWindow() const { return window() != nullptr; }

  bool enabled() const { return enabled_; }
  void setEnabled(bool on);
  bool oleDropAllowed() const { return oleDrop_; }
  void setOleDropAllowed(bool on);
  QFont font() const { return font_; }
  void setFont(const QFont& font);
  IUnknown* mouseIcon() const { return mouseIcon_; }
  void setMouseIcon(IUnknown* icon);
  IUnknown* storedPicture() const { return picture_; }
  void setStoredPicture(IUnknown* picture);
  HRESULT createWindow(QWidget* parent, const QRect& rect);
  // After any change of the picture or the view: scroll bars, repaint, and the container
  // asked for a new rectangle when the engine wants another size (ISIZE_ResizeControl).
  void viewChanged();
  // The picture was (re)loaded: arms the Notify timer when the engine asks for it.
  void pictureLoaded();
  void showAbout();
  // Prints the picture on the device in the engine's printer rectangle (PrinterLeft, ...).
  // The picture's absence goes to ImagError; a device that cannot be painted on is E_FAIL.
  HRESULT printTo(QPaintDevice* device);
  // The pointer for MousePointer 99: the MouseIcon picture, when it holds one.
  bool customCursor(QCursor* cursor) const;
  // Asks the container for the rectangle the engine wants (ISIZE_ResizeControl).
  void checkPositionRect();
  // A property's value read through the dispatch table, as a 16-bit number (0 on failure).
  int16_t propertyI2(DISPID id);
  // A file dropped on the window: loaded as a FileName put.
  void loadDroppedFile(const QString& path);
  // The position rectangle in the container's coordinates.
  QRect positionRect() const { return rect_; }

 private:
  ~Control();
  struct Sink {
    uint32_t cookie;
    Guid iid;
    IUnknown* sink;
  };
  HRESULT readOnlyError(ExcepInfo* excep) const;
  void releaseAll();
  static void postFromEngine(void* context, CV_HANDLE handle, uint32_t message);
  static int16_t pollFromEngine(void* context, CV_HANDLE handle, int16_t progressId);
  bool poll(int16_t progressId);
  void engineMessage(uint32_t message);
  // Puts a stored value through the dispatch interface; an enumeration value out of its range
  // is refused with control error 380 (invalid property value).
  HRESULT putStored(const MapEntry& entry, const Variant& value);

  std::atomic<uint32_t> refs_{1};
  CV_HANDLE engine_ = 0;
  bool enabled_ = true;
  bool oleDrop_ = false;
  bool dirty_ = false;
  QFont font_;
  IUnknown* mouseIcon_ = nullptr;
  IUnknown* picture_ = nullptr;
  IRastrelSite* site_ = nullptr;
  QPointer<ControlWindow> window_;
  QRect rect_;
  QSize extent_{2540, 2540};  // HIMETRIC; 96 x 96 pixels until a window gives a size
  std::vector<Sink> sinks_;
  uint32_t nextCookie_ = 1;
  std::unique_ptr<QObject> poster_;  // receives the engine's posted messages on this thread
  int longCalls_ = 0;
  bool polling_ = false;
  bool cancelRequested_ = false;
  QElapsedTimer lastPoll_;
  std::unique_ptr<CancelWatch> cancelWatch_;

  friend class ControlWindow;
};

// Live control objects and server locks, behind DllCanUnloadNow.
void addObject();
void removeObject();
void lockServer(bool lock);
bool serverInUse();

}  // namespace rastrel::impl
