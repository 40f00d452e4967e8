// Test doubles for the imaging control's container side: a site with a switchable user mode
// and recorded position requests, and sinks that record events and property notices.
#pragma once

#include <QList>
#include <QPair>
#include <QRect>
#include <QString>
#include <vector>

#include "rastrel3.h"

namespace glim::test {

class RecordingHost final : public rastrel::IRastrelSite,
                            public rastrel::IRastrelEvents,
                            public rastrel::IPropertyNotifySink {
 public:
  rastrel::HRESULT QueryInterface(const rastrel::Guid& iid, void** out) override;
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }  // lives on the test's stack

  rastrel::HRESULT GetAmbientUserMode(bool* runMode) override;
  rastrel::HRESULT OnPosRectChange(const QRect& rect) override;
  rastrel::HRESULT InvalidateControl() override;
  rastrel::HRESULT Invoke(rastrel::DISPID id, const rastrel::Variant* args, int n) override;
  rastrel::HRESULT OnChanged(rastrel::DISPID id) override;
  rastrel::HRESULT OnRequestEdit(rastrel::DISPID) override { return rastrel::S_OK; }

  // Events as "Name" or "Name(a,b,c,d)".
  QStringList events;
  QList<rastrel::DISPID> notices;
  QList<QRect> positionRequests;
  int repaints = 0;
  bool designMode = false;
  bool answersUserMode = true;
  uint32_t refs = 1;
};

// A control object made through the library's class factory (one reference).
rastrel::IRastrel* newControl();
rastrel::IRastrelObject* objectOf(rastrel::IRastrel* control);  // AddRef'ed

// Invoke shorthands.
rastrel::HRESULT getProp(rastrel::IRastrel* c, rastrel::DISPID id, rastrel::Variant* out);
rastrel::HRESULT putProp(rastrel::IRastrel* c, rastrel::DISPID id, const rastrel::Variant& v,
                         rastrel::ExcepInfo* excep = nullptr);
rastrel::HRESULT callMethod(rastrel::IRastrel* c, rastrel::DISPID id,
                            std::vector<rastrel::Variant> args = {},
                            rastrel::Variant* result = nullptr);

}  // namespace glim::test
