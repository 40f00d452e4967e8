// The control object through its dispatch interface and component entry points: the member
// table, Invoke's refusals, change notification, registration and the object count.
#include <QFile>
#include <QSet>
#include <QtTest>

#include "imaging_helpers.h"
#include "rastrel3.h"
#include "support/testenv.h"

using namespace rastrel;
using glim::test::callMethod;
using glim::test::getProp;
using glim::test::putProp;

namespace {
constexpr int kNotAvailable =
    -18;  // the engine's "needs hardware or a service this platform lacks"
}  // namespace

class TstDispatch : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    control_ = glim::test::newControl();
    QVERIFY(control_);
    object_ = glim::test::objectOf(control_);
    QVERIFY(object_);
    object_->SetClientSite(&host_);
    QVERIFY(succeeded(
        object_->Advise(DIID_IRastrelEvents, static_cast<IRastrelEvents*>(&host_), &cookie_)));
    QVERIFY(succeeded(object_->Advise(IID_IPropertyNotifySink,
                                      static_cast<IPropertyNotifySink*>(&host_), &cookie_)));
  }
  void cleanup() {
    object_->SetClientSite(nullptr);
    object_->Release();
    control_->Release();
    host_ = glim::test::RecordingHost();
  }

  void tableIsConsistent() {
    QSet<DISPID> ids;
    QSet<QString> names;
    const int count = control_->MemberCount();
    QVERIFY(count > 290);
    for (int i = 0; i < count; ++i) {
      MemberInfo m;
      QCOMPARE(control_->GetMemberInfo(i, &m), S_OK);
      const QString name = QString::fromLatin1(m.name);
      QVERIFY2(!ids.contains(m.dispid), qPrintable(name));
      QVERIFY2(!names.contains(name.toLower()), qPrintable(name));
      ids << m.dispid;
      names << name.toLower();
      DISPID found = 0;
      QCOMPARE(control_->GetIDOfName(name.toUpper(), &found), S_OK);
      QCOMPARE(found, m.dispid);
      if (m.readOnly) QVERIFY2(!(m.kinds & uint16_t(InvokeKind::Put)), qPrintable(name));
    }
    DISPID none = 0;
    QCOMPARE(control_->GetIDOfName(QStringLiteral("NoSuchMember"), &none), DISP_E_UNKNOWNNAME);
  }

  // Every member answers through Invoke on a control without a picture: gets succeed, puts of
  // the value just read succeed, methods run; none answers "not implemented", and none answers
  // "not available" while what it needs is there (a screen, and a scanner: SANE's test
  // backend); nothing crashes.
  void everyMemberReachable() {
    glim::test::TestEnv env;
    glim::test::useTestScanners(env.folder(QStringLiteral("sane")),
                                {QStringLiteral("number_of_devices 2")});
    glim::test::ChooserAnswer chooser(QStringLiteral("test:1"), true);
    for (int i = 0; i < control_->MemberCount(); ++i) {
      MemberInfo m;
      control_->GetMemberInfo(i, &m);
      const QString name = QString::fromLatin1(m.name);
      if (m.dispid == dispid::About) continue;  // a modal box
      if (m.kinds & uint16_t(InvokeKind::Get)) {
        Variant v;
        QVERIFY2(getProp(control_, m.dispid, &v) == S_OK, qPrintable(name));
        if (m.type != VT_DISPATCH) QCOMPARE(v.type(), m.type);
        if ((m.kinds & uint16_t(InvokeKind::Put)) && m.dispid != dispid::FileName)
          QVERIFY2(putProp(control_, m.dispid, v) == S_OK, qPrintable(name));
      }
      if (m.kinds & uint16_t(InvokeKind::Method)) {
        std::vector<Variant> args;
        for (int a = 0; a < m.optionalFrom; ++a)
          args.push_back(m.argTypes[a] == VT_BSTR ? Variant::str(QString()) : Variant::i4(0));
        const HRESULT hr = callMethod(control_, m.dispid, args);
        if (m.dispid == dispid::CreateCtlWindow)
          QCOMPARE(hr, E_INVALIDARG);  // parent 0
        else
          QVERIFY2(hr == S_OK, qPrintable(name));
        Variant error;
        getProp(control_, dispid::ImagError, &error);
        QVERIFY2(error.whole() != kNotAvailable, qPrintable(name));
        if (m.dispid == dispid::TwainSelect || m.dispid == dispid::TwainAcquire ||
            m.dispid == dispid::Capture)
          QVERIFY2(error.whole() == 0, qPrintable(name));
      }
    }
    QVERIFY(chooser.answered);
    Variant product;
    getProp(control_, dispid::TwainProductName, &product);
    QCOMPARE(product.string(), QStringLiteral("frontend-tester"));
  }

  void readOnlyPutRefused_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("IWidth") << int(dispid::IWidth);
    QTest::newRow("IHeight") << int(dispid::IHeight);
    QTest::newRow("ImagError") << int(dispid::ImagError);
    QTest::newRow("IPBitsPixel") << int(dispid::IPBitsPixel);
    QTest::newRow("RubberBandW") << int(dispid::RubberBandW);
    QTest::newRow("IFileSize") << int(dispid::IFileSize);
    QTest::newRow("IPSharpenI") << int(dispid::IPSharpenI);
  }
  void readOnlyPutRefused() {
    QFETCH(int, id);
    glim::test::TestEnv env;
    const QString file = env.folder(QStringLiteral("p")) + QStringLiteral("/a.png");
    QVERIFY(glim::test::writePicture(file, 64, 48, "PNG"));
    QCOMPARE(putProp(control_, dispid::FileName, Variant::str(file)), S_OK);
    Variant before, after;
    QCOMPARE(getProp(control_, id, &before), S_OK);
    ExcepInfo excep;
    QCOMPARE(putProp(control_, id, Variant::i4(7), &excep), CTL_E_SETNOTSUPPORTED);
    QCOMPARE(uint32_t(CTL_E_SETNOTSUPPORTED), 0x8004017Fu);
    QCOMPARE(excep.code, 383);
    QCOMPARE(excep.source, QStringLiteral("Rastrel"));
    QCOMPARE(excep.helpFile, QStringLiteral("Rastrel3.hlp"));
    QCOMPARE(getProp(control_, id, &after), S_OK);
    QVERIFY(before == after);
    QVERIFY(host_.notices.isEmpty());
  }

  void designModeGets_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("designMode");
    QTest::addColumn<bool>("siteAnswers");
    QTest::addColumn<int>("expected");
    QTest::newRow("IWidth design") << int(dispid::IWidth) << true << true << int(E_FAIL);
    QTest::newRow("IWidth run") << int(dispid::IWidth) << false << true << int(S_OK);
    QTest::newRow("IWidth silent site") << int(dispid::IWidth) << true << false << int(S_OK);
    QTest::newRow("hDib design") << int(dispid::hDib) << true << true << int(E_FAIL);
    QTest::newRow("SaveFileName design")
        << int(dispid::SaveFileName) << true << true << int(E_FAIL);
    QTest::newRow("AutoSize design") << int(dispid::AutoSize) << true << true << int(S_OK);
  }
  void designModeGets() {
    QFETCH(int, id);
    QFETCH(bool, designMode);
    QFETCH(bool, siteAnswers);
    QFETCH(int, expected);
    host_.designMode = designMode;
    host_.answersUserMode = siteAnswers;
    Variant v;
    QCOMPARE(getProp(control_, id, &v), HRESULT(expected));
  }

  void changeNotification() {
    QCOMPARE(putProp(control_, dispid::AutoSize, Variant::i2(ISIZE_ResizeControl)), S_OK);
    QVERIFY(host_.notices.isEmpty());
    QCOMPARE(object_->IsDirty(), S_FALSE);

    host_.designMode = true;
    QCOMPARE(putProp(control_, dispid::AutoSize, Variant::i2(ISIZE_CropImage)), S_OK);
    QCOMPARE(host_.notices, QList<DISPID>{dispid::AutoSize});
    QCOMPARE(object_->IsDirty(), S_OK);
    Variant v;
    QCOMPARE(getProp(control_, dispid::AutoSize, &v), S_OK);
    QCOMPARE(v.whole(), int64_t(ISIZE_CropImage));
  }

  void enabledNotifiesOncePerChange() {
    QCOMPARE(putProp(control_, dispid::Enabled, Variant::boolean(false)), S_OK);
    QCOMPARE(putProp(control_, dispid::Enabled, Variant::boolean(false)), S_OK);
    QCOMPARE(host_.notices, QList<DISPID>{dispid::Enabled});
    QCOMPARE(putProp(control_, dispid::Enabled, Variant::boolean(true)), S_OK);
    QCOMPARE(host_.notices.size(), 2);
    QCOMPARE(object_->IsDirty(), S_FALSE);  // a run-mode change
  }

  void badCalls_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<QVariant>>("args");
    QTest::addColumn<int>("expected");
    const int get = int(InvokeKind::Get), put = int(InvokeKind::Put),
              putRef = int(InvokeKind::PutRef), call = int(InvokeKind::Method);
    QTest::newRow("unknown id") << 0x7777 << get << QList<QVariant>{} << int(DISP_E_MEMBERNOTFOUND);
    QTest::newRow("get with argument")
        << int(dispid::AutoSize) << get << QList<QVariant>{1} << int(DISP_E_BADPARAMCOUNT);
    QTest::newRow("put without value")
        << int(dispid::AutoSize) << put << QList<QVariant>{} << int(DISP_E_BADPARAMCOUNT);
    QTest::newRow("put to a method")
        << int(dispid::Flip) << put << QList<QVariant>{1} << int(DISP_E_MEMBERNOTFOUND);
    QTest::newRow("putref to a number")
        << int(dispid::AutoSize) << putRef << QList<QVariant>{1} << int(DISP_E_MEMBERNOTFOUND);
    QTest::newRow("too many arguments")
        << int(dispid::Flip) << call << QList<QVariant>{1} << int(DISP_E_BADPARAMCOUNT);
    QTest::newRow("too few arguments")
        << int(dispid::AdjustRGB) << call << QList<QVariant>{0, 1} << int(DISP_E_BADPARAMCOUNT);
    QTest::newRow("text for a number")
        << int(dispid::Sharpen) << call << QList<QVariant>{QStringLiteral("much")}
        << int(DISP_E_TYPEMISMATCH);
    QTest::newRow("16-bit overflow")
        << int(dispid::Sharpen) << call << QList<QVariant>{70000} << int(DISP_E_OVERFLOW);
    QTest::newRow("object for a number")
        << int(dispid::AutoSize) << put << QList<QVariant>{QVariant()} << int(DISP_E_TYPEMISMATCH);
    QTest::newRow("RubberBand without on")
        << int(dispid::RubberBand) << call << QList<QVariant>{} << int(DISP_E_BADPARAMCOUNT);
  }
  void badCalls() {
    QFETCH(int, id);
    QFETCH(int, kind);
    QFETCH(QList<QVariant>, args);
    QFETCH(int, expected);
    std::vector<Variant> values;
    for (const QVariant& a : args) {
      if (!a.isValid())
        values.push_back(Variant::object(nullptr));
      else if (a.typeId() == QMetaType::QString)
        values.push_back(Variant::str(a.toString()));
      else
        values.push_back(Variant::i4(a.toInt()));
    }
    Variant result;
    QCOMPARE(
        control_->Invoke(id, InvokeKind(kind), values.data(), int(values.size()), &result, nullptr),
        HRESULT(expected));
  }

  void optionalArgumentsMayBeLeftOut() {
    QCOMPARE(callMethod(control_, dispid::RubberBand, {Variant::boolean(false)}), S_OK);
    QCOMPARE(callMethod(control_, dispid::RubberBand, {Variant::missing(), Variant::i4(1)}),
             DISP_E_PARAMNOTOPTIONAL);
  }

  // For hosts that do not activate the control in place.
  void createCtlWindowMakesTheWindowOnce() {
    QWidget host;
    Variant hwnd;
    QCOMPARE(getProp(control_, dispid::hWnd, &hwnd), S_OK);
    QCOMPARE(hwnd.whole(), 0);
    const Variant parent = Variant::i4(int32_t(RastrelWindowHandle(&host)));
    QCOMPARE(
        callMethod(control_, dispid::CreateCtlWindow,
                   {parent, Variant::i4(10), Variant::i4(20), Variant::i4(64), Variant::i4(48)}),
        S_OK);
    QCOMPARE(getProp(control_, dispid::hWnd, &hwnd), S_OK);
    QVERIFY(hwnd.whole() != 0);
    const QList<QWidget*> windows =
        host.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows.first()->geometry(), QRect(10, 20, 64, 48));
    QCOMPARE(callMethod(control_, dispid::CreateCtlWindow,
                        {parent, Variant::i4(0), Variant::i4(0), Variant::i4(5), Variant::i4(5)}),
             S_OK);
    QCOMPARE(windows.first()->geometry(), QRect(10, 20, 64, 48));  // the first window stays
  }

  void pictureOfEmptyControlIsNoObject() {
    Variant v;
    QCOMPARE(getProp(control_, dispid::Picture, &v), S_OK);
    QVERIFY(v.isObject());
    QVERIFY(v.object() == nullptr);
  }

  void variantConversion_data() {
    QTest::addColumn<QString>("from");  // kind:value
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("hr");
    QTest::addColumn<qlonglong>("whole");
    QTest::newRow("2.5 to I2 rounds to even") << "r8:2.5" << int(VT_I2) << 0 << 2LL;
    QTest::newRow("3.5 to I2 rounds to even") << "r8:3.5" << int(VT_I2) << 0 << 4LL;
    QTest::newRow("-2.5 to I4") << "r8:-2.5" << int(VT_I4) << 0 << -2LL;
    QTest::newRow("text to I2") << "str: 12 " << int(VT_I2) << 0 << 12LL;
    QTest::newRow("true to I2") << "bool:1" << int(VT_I2) << 0 << -1LL;
    QTest::newRow("7 to bool") << "i4:7" << int(VT_BOOL) << 0 << -1LL;
    QTest::newRow("40000 to I2") << "i4:40000" << int(VT_I2) << int(DISP_E_OVERFLOW) << 0LL;
    QTest::newRow("-1 to UI4") << "i4:-1" << int(VT_UI4) << int(DISP_E_OVERFLOW) << 0LL;
    QTest::newRow("word to I4") << "str:abc" << int(VT_I4) << int(DISP_E_TYPEMISMATCH) << 0LL;
    QTest::newRow("True text to bool") << "str:True" << int(VT_BOOL) << 0 << -1LL;
  }
  void variantConversion() {
    QFETCH(QString, from);
    QFETCH(int, to);
    QFETCH(int, hr);
    QFETCH(qlonglong, whole);
    const QString kind = from.section(u':', 0, 0), value = from.section(u':', 1);
    Variant v = kind == QLatin1String("r8")     ? Variant::r8(value.toDouble())
                : kind == QLatin1String("str")  ? Variant::str(value)
                : kind == QLatin1String("bool") ? Variant::boolean(value.toInt() != 0)
                                                : Variant::i4(value.toInt());
    Variant out;
    QCOMPARE(v.changeType(VarType(to), &out), HRESULT(hr));
    if (hr == 0) {
      QCOMPARE(int(out.type()), to);
      QCOMPARE(qlonglong(out.whole()), whole);
    }
  }

  void factoryAndUnload() {
    void* factory = nullptr;
    QCOMPARE(DllGetClassObject(&CLSID_GenProps, &IID_IClassFactory, &factory),
             CLASS_E_CLASSNOTAVAILABLE);
    QCOMPARE(DllGetClassObject(&CLSID_Rastrel, &IID_IClassFactory, &factory), S_OK);
    auto* f = static_cast<IClassFactory*>(factory);
    void* out = nullptr;
    QCOMPARE(f->CreateInstance(control_, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    QCOMPARE(f->CreateInstance(nullptr, IID_IPicture, &out), E_NOINTERFACE);
    f->Release();
    QCOMPARE(DllCanUnloadNow(), S_FALSE);  // this test's control is alive
  }

  void registration() {
    glim::test::TestEnv env;
    const QString file = env.dataFolder() + QStringLiteral("/classreg/classes.reg");
    QDir().mkpath(QFileInfo(file).path());
    QVERIFY(glim::test::writeBytes(file, "[Other.Class]\n@=\"kept\"\n"));

    QCOMPARE(DllRegisterServer(), S_OK);
    const QString text = QString::fromUtf8(glim::test::readBytes(file));
    const QString clsid = QStringLiteral("CLSID\\{5D0E2B71-4A93-11D1-9E27-7E3A19C05D42}");
    for (const QString& expected :
         {u'[' + clsid + QStringLiteral("\\InprocServer32]\n@=\""),
          QStringLiteral("\"ThreadingModel\"=\"Apartment\""),
          u'[' + clsid + QStringLiteral("\\ProgID]\n@=\"Rastrel.Rastrel.1\""),
          u'[' + clsid + QStringLiteral("\\VersionIndependentProgID]\n@=\"Rastrel.Rastrel\""),
          u'[' + clsid + QStringLiteral("\\MiscStatus\\1]\n@=\"197009\""),
          u'[' + clsid + QStringLiteral("\\TypeLib]\n@=\"{6F14C3A0-4A94-11D1-9E27-7E3A19C05D42}\""),
          u'[' + clsid + QStringLiteral("\\Version]\n@=\"1.0\""),
          u'[' + clsid + QStringLiteral("\\Verb\\0]\n@=\"&Properties,0,2\""),
          u'[' + clsid + QStringLiteral("\\Control]"),
          u'[' + clsid + QStringLiteral("\\Insertable]"),
          u'[' + clsid + QStringLiteral("\\Programmable]"),
          QStringLiteral(
              "[Rastrel.Rastrel.1\\CLSID]\n@=\"{5D0E2B71-4A93-11D1-9E27-7E3A19C05D42}\""),
          QStringLiteral("[Rastrel.Rastrel\\CurVer]\n@=\"Rastrel.Rastrel.1\""),
          QStringLiteral(
              "[GenProps.GenProps.1\\CLSID]\n@=\"{2B8E0F51-52C7-11D1-9E33-7E3A19C05D42}\""),
          QStringLiteral(
              "[DrawPpg.DrawPpg.1\\CLSID]\n@=\"{E72A15F2-57DB-11D1-9E3D-7E3A19C05D42}\""),
          QStringLiteral("[Other.Class]\n@=\"kept\"")})
      QVERIFY2(text.contains(expected), qPrintable(expected));
    QVERIFY(text.contains(QStringLiteral("librastrel3.so")));

    QCOMPARE(DllRegisterServer(), S_OK);  // again: the same entries, once
    QCOMPARE(QString::fromUtf8(glim::test::readBytes(file)), text);

    QCOMPARE(DllUnregisterServer(), S_OK);
    const QString left = QString::fromUtf8(glim::test::readBytes(file));
    QVERIFY(left.contains(QStringLiteral("[Other.Class]\n@=\"kept\"")));
    QCOMPARE(left.count(u'['), 1);
  }

 private:
  IRastrel* control_ = nullptr;
  IRastrelObject* object_ = nullptr;
  glim::test::RecordingHost host_;
  uint32_t cookie_ = 0;
};

QTEST_MAIN(TstDispatch)
#include "tst_dispatch.moc"
