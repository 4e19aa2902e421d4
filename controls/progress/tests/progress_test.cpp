// Progress.dll under Wine: creation through the registry, every member
// directly and through IDispatch, the Korean error descriptions, the picture
// column by column, and the mouse event through a real container. The test
// runs in a prefix of its own (MB_PREFIX) and registers the module there.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ComPtr.h"
#include "Dispatch.h"
#include "GuiTest.h"
#include "Progress_h.h"
#include "Registry.h"
#include "Site.h"

using mbcom::CPtr;

namespace {

const wchar_t kCountError[] = L"1과 4사이의 값을 입력하세요.";
const wchar_t kColourError[] = L"0과 3사이의 값을 입력하세요.";

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

HMODULE ProgressModule()
{
    static HMODULE module = LoadLibraryW((ExeFolder() + L"Progress.dll").c_str());
    return module;
}

template <class F>
F ModuleProc(const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(ProgressModule(), name)));
}

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ASSERT_NE(nullptr, ProgressModule());
        auto reg = ModuleProc<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer");
        ASSERT_NE(nullptr, reg);
        ASSERT_EQ(S_OK, reg());
    }
    void TearDown() override { OleUninitialize(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

CPtr<IProgressCtl> NewControl()
{
    CPtr<IProgressCtl> ctl;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ProgressCtl, nullptr, CLSCTX_INPROC_SERVER, IID_IProgressCtl,
                                     reinterpret_cast<void**>(&ctl)));
    return ctl;
}

// --- pixels ---

struct CImage {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;  // 0x00RRGGBB, top row first
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

CImage ReadBitmap(HBITMAP bitmap)
{
    CImage image;
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    image.width = info.bmWidth;
    image.height = info.bmHeight;
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = image.width;
    bi.bmiHeader.biHeight = -image.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, image.height, image.pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return image;
}

CImage ModuleBitmap(int id)
{
    HBITMAP b = static_cast<HBITMAP>(
        LoadImageW(ProgressModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    EXPECT_NE(nullptr, b) << id;
    CImage image = b ? ReadBitmap(b) : CImage{};
    if (b)
        DeleteObject(b);
    return image;
}

// Draws the control through IViewObject2 into a 32-bit memory bitmap.
CImage DrawControl(IUnknown* control, int width = 374, int height = 14)
{
    CPtr<IViewObject2> view;
    EXPECT_EQ(S_OK, control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    PatBlt(dc, 0, 0, width, height, BLACKNESS);
    RECTL bounds{0, 0, width, height};
    EXPECT_EQ(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0));
    GdiFlush();
    CImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + width * height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return image;
}

enum Source { BACKGROUND, LEFT_CAP, MIDDLE, RIGHT_CAP };

// Checks every row of column x against the bitmap that should show there:
// the pieces fill rows 2 to 11 of a 374 x 14 control; rows 0, 1, 12 and 13
// always show the background.
::testing::AssertionResult ColumnIs(const CImage& shot, int x, Source source, int colour, int pieceLeft = 0)
{
    static const CImage background = ModuleBitmap(209);
    CImage piece;
    if (source != BACKGROUND)
        piece = ModuleBitmap(216 + 3 * colour + (source == LEFT_CAP ? 0 : source == MIDDLE ? 1 : 2));
    for (int y = 0; y < 14; ++y) {
        DWORD want;
        if (source == BACKGROUND || y < 2 || y >= 12)
            want = background.At(x, y);
        else if (source == MIDDLE)
            want = piece.At(0, y - 2);
        else
            want = piece.At(x - pieceLeft, y - 2);
        if (shot.At(x, y) != want)
            return ::testing::AssertionFailure() << "column " << x << " row " << y << ": 0x" << std::hex
                                                 << shot.At(x, y) << " instead of 0x" << want << " (source "
                                                 << std::dec << source << ")";
    }
    return ::testing::AssertionSuccess();
}

// The whole picture of one filled segment of extent e (e > x0 + cap + 2).
void ExpectFilled(const CImage& shot, int e, int colour)
{
    for (int x = 0; x < 374; ++x) {
        if (x == 0 || x >= e)
            EXPECT_TRUE(ColumnIs(shot, x, BACKGROUND, colour));
        else if (x < 6)
            EXPECT_TRUE(ColumnIs(shot, x, LEFT_CAP, colour, 1));
        else if (x < e - 5)
            EXPECT_TRUE(ColumnIs(shot, x, MIDDLE, colour));
        else
            EXPECT_TRUE(ColumnIs(shot, x, RIGHT_CAP, colour, e - 5));
    }
}

std::wstring ErrorDescription()
{
    CPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return L"(none)";
    BSTR text = nullptr;
    info->GetDescription(&text);
    std::wstring result = text ? text : L"";
    SysFreeString(text);
    return result;
}

HRESULT Call(IDispatch* d, DISPID id, WORD flags, std::initializer_list<VARIANT> args, VARIANT* result = nullptr,
             EXCEPINFO* excep = nullptr)
{
    return mbcom::InvokeByDispid(d, id, flags, args, result, excep);
}

}  // namespace

// --- creation and the module ---

TEST(Creation, ByProgIdAndClsid)
{
    CLSID current{}, independent{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Progress.ProgressCtl.1", &current));
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Progress.ProgressCtl", &independent));
    EXPECT_TRUE(IsEqualCLSID(CLSID_ProgressCtl, current));
    EXPECT_TRUE(IsEqualCLSID(CLSID_ProgressCtl, independent));
    CPtr<IDispatch> byProgId;
    EXPECT_EQ(S_OK, CoCreateInstance(current, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(&byProgId)));
    CPtr<IUnknown> byClsid;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ProgressCtl, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&byClsid)));
    EXPECT_TRUE(byProgId && byClsid);
}

TEST(Creation, ModuleStaysWhileObjectsLive)
{
    auto canUnload = ModuleProc<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
    auto getClass = ModuleProc<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    ASSERT_TRUE(canUnload && getClass);
    {
        CPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, getClass(CLSID_ProgressCtl, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        EXPECT_EQ(S_FALSE, canUnload());
        CPtr<IUnknown> outer;
        CPtr<IUnknown> refused;
        EXPECT_EQ(CLASS_E_NOAGGREGATION,
                  factory->CreateInstance(factory, IID_IUnknown, reinterpret_cast<void**>(&refused)));
        CPtr<IProgressCtl> ctl;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IProgressCtl, reinterpret_cast<void**>(&ctl)));
        factory.Release();
        EXPECT_EQ(S_FALSE, canUnload());
    }
    CoFreeUnusedLibraries();
    EXPECT_EQ(S_OK, canUnload());
    CPtr<IUnknown> none;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClass(IID_IProgressCtl, IID_IClassFactory, reinterpret_cast<void**>(&none)));
}

TEST(Creation, TypeLibraryIsRegisteredForThisWidth)
{
    CPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_PROGRESSLib, 1, 0, LOCALE_NEUTRAL, &lib));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(LIBID_PROGRESSLib, attr->guid));
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attr->syskind);
    lib->ReleaseTLibAttr(attr);
    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(S_OK, lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_STREQ(L"PROGRESSLib", name);
    EXPECT_STREQ(L"Progress 1.0 Type Library", doc);
    SysFreeString(name);
    SysFreeString(doc);
}

TEST(Creation, ShippedThirtyTwoBitLibraryIsAWin32OneWithTheSameIdentity)
{
    const std::string path = MB_WIN32_PROGRESS_DLL;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the 32-bit build is not there: " << path;
    CPtr<ITypeLib> lib;
    ASSERT_EQ(S_OK, LoadTypeLibEx(std::wstring(path.begin(), path.end()).c_str(), REGKIND_NONE, &lib));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
    EXPECT_EQ(SYS_WIN32, attr->syskind);
    EXPECT_TRUE(IsEqualGUID(LIBID_PROGRESSLib, attr->guid));
    lib->ReleaseTLibAttr(attr);
    CPtr<ITypeInfo> info;
    EXPECT_EQ(S_OK, lib->GetTypeInfoOfGuid(IID_IProgressCtl, &info));
}

// --- the members, directly ---

TEST(Members, StartValues)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    short n = 0;
    EXPECT_EQ(S_OK, ctl->get_ProgressNum(&n));
    EXPECT_EQ(4, n);
    for (short i = 0; i < 4; ++i) {
        short c = -1;
        LONG p = -1;
        EXPECT_EQ(S_OK, ctl->get_BitmapOrder(i, &c));
        EXPECT_EQ(0, c);
        EXPECT_EQ(S_OK, ctl->GetPos(i, &p));
        EXPECT_EQ(0, p);
    }
    LONG range = -1;
    EXPECT_EQ(S_OK, ctl->GetRange(&range));
    EXPECT_EQ(0, range);
}

TEST(Members, StoreAndReadBack)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    EXPECT_EQ(S_OK, ctl->put_ProgressNum(2));
    short n = 0;
    ctl->get_ProgressNum(&n);
    EXPECT_EQ(2, n);
    EXPECT_EQ(S_OK, ctl->put_BitmapOrder(3, 2));
    short c = 0;
    ctl->get_BitmapOrder(3, &c);
    EXPECT_EQ(2, c);
    EXPECT_EQ(S_OK, ctl->SetRange(20, 120));
    LONG v = 0;
    ctl->GetRange(&v);
    EXPECT_EQ(100, v);
    EXPECT_EQ(S_OK, ctl->SetPos(1, 40));
    ctl->GetPos(1, &v);
    EXPECT_EQ(40, v);
    // At or above the range: the range is what is kept.
    EXPECT_EQ(S_OK, ctl->SetPos(2, 5000));
    ctl->GetPos(2, &v);
    EXPECT_EQ(100, v);
    EXPECT_EQ(S_OK, ctl->SetPos(1, 0));
    ctl->GetPos(1, &v);
    EXPECT_EQ(0, v);
}

TEST(Members, SegmentOutsideTheFourIsInvalidArgument)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    short c = 7;
    LONG p = 7;
    for (short bad : {short(-1), short(4), short(1000)}) {
        EXPECT_EQ(E_INVALIDARG, ctl->get_BitmapOrder(bad, &c));
        EXPECT_EQ(E_INVALIDARG, ctl->put_BitmapOrder(bad, 1));
        EXPECT_EQ(E_INVALIDARG, ctl->SetPos(bad, 10));
        EXPECT_EQ(E_INVALIDARG, ctl->GetPos(bad, &p));
    }
    for (short i = 0; i < 4; ++i) {
        ctl->get_BitmapOrder(i, &c);
        EXPECT_EQ(0, c);
    }
}

// --- the members through IDispatch ---

TEST(Dispatch, NamesHaveTheirDispids)
{
    CPtr<IDispatch> d;
    auto ctl = NewControl();
    ASSERT_EQ(S_OK, ctl.As(&d));
    const wchar_t* names[] = {L"ProgressNum", L"BitmapOrder", L"SetPos", L"GetPos", L"SetRange", L"GetRange"};
    for (int i = 0; i < 6; ++i) {
        DISPID id = -1;
        LPOLESTR name = const_cast<LPOLESTR>(names[i]);
        EXPECT_EQ(S_OK, d->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) << i;
        EXPECT_EQ(i + 1, id) << i;
    }
    UINT count = 0;
    EXPECT_EQ(S_OK, d->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
}

TEST(Dispatch, EveryMemberThroughInvoke)
{
    auto ctl = NewControl();
    CPtr<IDispatch> d;
    ASSERT_EQ(S_OK, ctl.As(&d));
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(S_OK, Call(d, 1, DISPATCH_PROPERTYPUT, {mbcom::MakeI2(3)}));
    EXPECT_EQ(S_OK, Call(d, 1, DISPATCH_PROPERTYGET, {}, &r));
    EXPECT_EQ(VT_I2, r.vt);
    EXPECT_EQ(3, r.iVal);
    EXPECT_EQ(S_OK, Call(d, 2, DISPATCH_PROPERTYPUT, {mbcom::MakeI2(1), mbcom::MakeI2(3)}));
    EXPECT_EQ(S_OK, Call(d, 2, DISPATCH_PROPERTYGET, {mbcom::MakeI2(1)}, &r));
    EXPECT_EQ(3, r.iVal);
    short direct = 0;
    ctl->get_BitmapOrder(1, &direct);
    EXPECT_EQ(3, direct);
    EXPECT_EQ(S_OK, Call(d, 5, DISPATCH_METHOD, {mbcom::MakeI4(10), mbcom::MakeI4(60)}));
    EXPECT_EQ(S_OK, Call(d, 6, DISPATCH_METHOD, {}, &r));
    EXPECT_EQ(VT_I4, r.vt);
    EXPECT_EQ(50, r.lVal);
    EXPECT_EQ(S_OK, Call(d, 3, DISPATCH_METHOD, {mbcom::MakeI2(2), mbcom::MakeI4(30)}));
    EXPECT_EQ(S_OK, Call(d, 4, DISPATCH_METHOD, {mbcom::MakeI2(2)}, &r));
    EXPECT_EQ(30, r.lVal);
    // Coercion of the arguments is automation's: a string position works too.
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"45");
    EXPECT_EQ(S_OK, Call(d, 3, DISPATCH_METHOD, {mbcom::MakeI2(2), text}));
    VariantClear(&text);
    EXPECT_EQ(S_OK, Call(d, 4, DISPATCH_METHOD, {mbcom::MakeI2(2)}, &r));
    EXPECT_EQ(45, r.lVal);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(d, 7, DISPATCH_METHOD, {}));
}

TEST(Dispatch, BadSegmentThroughInvokeIsAnError)
{
    auto ctl = NewControl();
    CPtr<IDispatch> d;
    ASSERT_EQ(S_OK, ctl.As(&d));
    EXCEPINFO ex{};
    HRESULT hr = Call(d, 3, DISPATCH_METHOD, {mbcom::MakeI2(9), mbcom::MakeI4(30)}, nullptr, &ex);
    EXPECT_TRUE(hr == DISP_E_EXCEPTION || hr == E_INVALIDARG) << std::hex << hr;
    if (hr == DISP_E_EXCEPTION) {
        EXPECT_EQ(E_INVALIDARG, ex.scode);
    }
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrHelpFile);
}

// --- refused values: the Korean descriptions ---

TEST(Errors, TextsAreTheKoreanOnes)
{
    // The expected texts spelled as code points, so a wrong source or
    // execution character set cannot make both sides agree.
    EXPECT_EQ(std::wstring(L"1\uACFC 4\uC0AC\uC774\uC758 \uAC12\uC744 \uC785\uB825\uD558\uC138\uC694."), kCountError);
    EXPECT_EQ(std::wstring(L"0\uACFC 3\uC0AC\uC774\uC758 \uAC12\uC744 \uC785\uB825\uD558\uC138\uC694."), kColourError);
}

TEST(Errors, SegmentCountOutsideOneToFour)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    ctl->SetRange(0, 100);
    DrawControl(ctl);
    ctl->SetPos(0, 50);
    const CImage before = DrawControl(ctl);
    CPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, ctl.As(&support));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID_IProgressCtl));
    for (short bad : {short(0), short(5)}) {
        EXPECT_EQ(DISP_E_EXCEPTION, ctl->put_ProgressNum(bad));
        EXPECT_EQ(kCountError, ErrorDescription());
        short n = 0;
        ctl->get_ProgressNum(&n);
        EXPECT_EQ(4, n);
    }
    EXPECT_EQ(before.pixels, DrawControl(ctl).pixels);
}

TEST(Errors, ThroughInvokeTheDescriptionArrives)
{
    auto ctl = NewControl();
    CPtr<IDispatch> d;
    ASSERT_EQ(S_OK, ctl.As(&d));
    for (short bad : {short(0), short(5)}) {
        EXCEPINFO ex{};
        EXPECT_EQ(DISP_E_EXCEPTION, Call(d, 1, DISPATCH_PROPERTYPUT, {mbcom::MakeI2(bad)}, nullptr, &ex));
        ASSERT_NE(nullptr, ex.bstrDescription);
        EXPECT_EQ(std::wstring(kCountError), ex.bstrDescription);
        ASSERT_NE(nullptr, ex.bstrSource);
        EXPECT_EQ(mbcom::GuidText(CLSID_ProgressCtl), std::wstring(ex.bstrSource));
        SysFreeString(ex.bstrDescription);
        SysFreeString(ex.bstrSource);
        SysFreeString(ex.bstrHelpFile);
    }
    EXCEPINFO ex{};
    EXPECT_EQ(DISP_E_EXCEPTION, Call(d, 2, DISPATCH_PROPERTYPUT, {mbcom::MakeI2(0), mbcom::MakeI2(4)}, nullptr, &ex));
    ASSERT_NE(nullptr, ex.bstrDescription);
    EXPECT_EQ(std::wstring(kColourError), ex.bstrDescription);
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrHelpFile);
    short n = 0;
    ctl->get_ProgressNum(&n);
    EXPECT_EQ(4, n);
    short c = 9;
    ctl->get_BitmapOrder(0, &c);
    EXPECT_EQ(0, c);
}

TEST(Errors, ColourOutsideZeroToThree)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    EXPECT_EQ(DISP_E_EXCEPTION, ctl->put_BitmapOrder(1, -1));
    EXPECT_EQ(kColourError, ErrorDescription());
    EXPECT_EQ(DISP_E_EXCEPTION, ctl->put_BitmapOrder(1, 4));
    EXPECT_EQ(kColourError, ErrorDescription());
}

// --- the picture ---

TEST(Drawing, EmptyBarIsTheBackground)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    CImage shot = DrawControl(ctl);
    for (int x = 0; x < 374; ++x)
        ASSERT_TRUE(ColumnIs(shot, x, BACKGROUND, 0));
}

TEST(Drawing, HalfOfOneHundredFillsTo187)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    ctl->SetRange(0, 100);
    DrawControl(ctl);  // the width the positions are measured against
    ctl->SetPos(0, 50);
    ExpectFilled(DrawControl(ctl), 187, 0);
}

TEST(Drawing, FullAndClearedSegment)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    ctl->SetRange(0, 100);
    DrawControl(ctl);
    ctl->SetPos(0, 100000);
    ExpectFilled(DrawControl(ctl), 374, 0);
    ctl->SetPos(0, 0);
    CImage cleared = DrawControl(ctl);
    for (int x = 0; x < 374; ++x)
        EXPECT_TRUE(ColumnIs(cleared, x, BACKGROUND, 0));
}

TEST(Drawing, LeftCapOnlyWhileTheFillIsNotAboveTheCap)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    ctl->SetRange(0, 100);
    DrawControl(ctl);
    // Position 1 fills 3 pixels, position 2 fills 7: both show the left cap
    // alone, whole (columns 1 to 5), and nothing to its right.
    for (ULONG pos : {1ul, 2ul}) {
        ctl->SetPos(0, pos);
        CImage shot = DrawControl(ctl);
        for (int x = 0; x < 374; ++x) {
            if (x >= 1 && x < 6)
                EXPECT_TRUE(ColumnIs(shot, x, LEFT_CAP, 0, 1)) << pos;
            else
                EXPECT_TRUE(ColumnIs(shot, x, BACKGROUND, 0)) << pos;
        }
    }
    // Position 3 fills 11 pixels, beyond x0 + cap + 2: the right cap appears
    // over the left one's end.
    ctl->SetPos(0, 3);
    CImage shot = DrawControl(ctl);
    for (int x = 1; x < 6; ++x)
        EXPECT_TRUE(ColumnIs(shot, x, LEFT_CAP, 0, 1));
    for (int x = 6; x < 11; ++x)
        EXPECT_TRUE(ColumnIs(shot, x, RIGHT_CAP, 0, 6));
    EXPECT_TRUE(ColumnIs(shot, 11, BACKGROUND, 0));
}

TEST(Drawing, GreenIsColourThreeAndLowerSegmentsCoverHigherOnes)
{
    auto ctl = NewControl();
    ASSERT_TRUE(ctl);
    ctl->SetRange(0, 100);
    ctl->put_BitmapOrder(0, 3);
    ctl->put_BitmapOrder(1, 1);
    DrawControl(ctl);
    ctl->SetPos(0, 50);
    ctl->SetPos(1, 100);
    CImage shot = DrawControl(ctl);
    EXPECT_TRUE(ColumnIs(shot, 100, MIDDLE, 3));
    EXPECT_TRUE(ColumnIs(shot, 183, RIGHT_CAP, 3, 182));
    EXPECT_TRUE(ColumnIs(shot, 200, MIDDLE, 1));
    EXPECT_TRUE(ColumnIs(shot, 371, RIGHT_CAP, 1, 369));
    // Green it is: the middle of the green piece is mostly green.
    DWORD p = shot.At(100, 6);
    int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    EXPECT_GT(g, 2 * r);
    EXPECT_GT(g, 2 * b);
    // One segment less: only segment 0 remains.
    ctl->put_ProgressNum(1);
    EXPECT_TRUE(ColumnIs(DrawControl(ctl), 200, BACKGROUND, 0));
}

// --- browsing, class information, persistence ---

TEST(Browsing, ColourNamesOnTheFirstProperty)
{
    auto ctl = NewControl();
    CPtr<IPerPropertyBrowsing> browse;
    ASSERT_EQ(S_OK, ctl.As(&browse));
    CALPOLESTR strings{};
    CADWORD cookies{};
    ASSERT_EQ(S_OK, browse->GetPredefinedStrings(1, &strings, &cookies));
    const wchar_t* names[] = {L"빨간색", L"파란색", L"노란색", L"녹색"};
    ASSERT_EQ(4u, strings.cElems);
    ASSERT_EQ(4u, cookies.cElems);
    for (ULONG i = 0; i < 4; ++i) {
        EXPECT_STREQ(names[i], strings.pElems[i]);
        EXPECT_EQ(i, cookies.pElems[i]);
        CoTaskMemFree(strings.pElems[i]);
    }
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    ctl->put_BitmapOrder(0, 3);
    BSTR text = nullptr;
    ASSERT_EQ(S_OK, browse->GetDisplayString(1, &text));
    EXPECT_STREQ(L"녹색", text);
    SysFreeString(text);
    VARIANT v;
    ASSERT_EQ(S_OK, browse->GetPredefinedValue(1, 2, &v));
    EXPECT_EQ(VT_I2, v.vt);
    EXPECT_EQ(2, v.iVal);
    EXPECT_EQ(E_INVALIDARG, browse->GetPredefinedValue(1, 4, &v));
    EXPECT_EQ(E_NOTIMPL, browse->GetPredefinedStrings(2, &strings, &cookies));
}

TEST(ClassInfo, EventsAndCoclassForBinding)
{
    auto ctl = NewControl();
    CPtr<IProvideClassInfo2> info;
    ASSERT_EQ(S_OK, ctl.As(&info));
    GUID events{};
    EXPECT_EQ(S_OK, info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
    EXPECT_TRUE(IsEqualIID(DIID__IProgressCtlEvents, events));
    CPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, info->GetClassInfo(&coclass));
    BSTR name = nullptr;
    coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    EXPECT_STREQ(L"ProgressCtl", name);
    SysFreeString(name);
    CPtr<IOleObject> ole;
    ASSERT_EQ(S_OK, ctl.As(&ole));
    DWORD status = 0;
    EXPECT_EQ(S_OK, ole->GetMiscStatus(DVASPECT_CONTENT, &status));
    EXPECT_EQ(131473u, status);
}

TEST(Persistence, InitNewAndAStreamRoundTrip)
{
    auto ctl = NewControl();
    CPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, ctl.As(&persist));
    EXPECT_EQ(S_OK, persist->InitNew());
    CPtr<IOleObject> ole;
    ASSERT_EQ(S_OK, ctl.As(&ole));
    SIZEL size{5000, 400};
    EXPECT_EQ(S_OK, ole->SetExtent(DVASPECT_CONTENT, &size));
    CPtr<IStream> stream;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    EXPECT_EQ(S_OK, persist->Save(stream, TRUE));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    auto other = NewControl();
    CPtr<IPersistStreamInit> otherPersist;
    ASSERT_EQ(S_OK, other.As(&otherPersist));
    EXPECT_EQ(S_OK, otherPersist->Load(stream));
    CPtr<IOleObject> otherOle;
    ASSERT_EQ(S_OK, other.As(&otherOle));
    SIZEL read{};
    otherOle->GetExtent(DVASPECT_CONTENT, &read);
    EXPECT_EQ(5000, read.cx);
    EXPECT_EQ(400, read.cy);
    // A short stream is no failure and changes nothing.
    CPtr<IStream> empty;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &empty));
    EXPECT_EQ(S_OK, otherPersist->Load(empty));
}

TEST(Persistence, ANewExtentMakesTheObjectDirtyUntilSavedOrLoaded)
{
    auto ctl = NewControl();
    CPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, ctl.As(&persist));
    CPtr<IOleObject> ole;
    ASSERT_EQ(S_OK, ctl.As(&ole));
    EXPECT_EQ(S_OK, persist->InitNew());
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    SIZEL size{5000, 400};
    EXPECT_EQ(S_OK, ole->SetExtent(DVASPECT_CONTENT, &size));
    EXPECT_EQ(S_OK, persist->IsDirty());
    CPtr<IStream> stream;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    EXPECT_EQ(S_OK, persist->Save(stream, FALSE));
    EXPECT_EQ(S_OK, persist->IsDirty()) << "a save that keeps the state dirty";
    EXPECT_EQ(S_OK, persist->Save(stream, TRUE));
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    // The same extent again changes nothing.
    EXPECT_EQ(S_OK, ole->SetExtent(DVASPECT_CONTENT, &size));
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    SIZEL other{100, 100};
    EXPECT_EQ(S_OK, ole->SetExtent(DVASPECT_CONTENT, &other));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(S_OK, persist->Load(stream));
    EXPECT_EQ(S_FALSE, persist->IsDirty());
}

TEST(ClassInfo, TheContainerEnumeratesItsOneConnectionPoint)
{
    auto ctl = NewControl();
    CPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, ctl.As(&container));
    CPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(S_OK, container->EnumConnectionPoints(&points));
    ASSERT_TRUE(points);
    IConnectionPoint* got[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, points->Next(2, got, &fetched));
    ASSERT_EQ(1u, fetched);
    IID iid{};
    EXPECT_EQ(S_OK, got[0]->GetConnectionInterface(&iid));
    EXPECT_TRUE(IsEqualIID(DIID__IProgressCtlEvents, iid));
    CPtr<IConnectionPoint> found;
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID__IProgressCtlEvents, &found));
    EXPECT_EQ(found.Get(), got[0]);
    got[0]->Release();
    // A clone starts where its original stands; Reset goes back.
    CPtr<IEnumConnectionPoints> clone;
    ASSERT_EQ(S_OK, points->Clone(&clone));
    EXPECT_EQ(S_FALSE, clone->Next(1, got, nullptr));
    EXPECT_EQ(S_OK, points->Reset());
    EXPECT_EQ(S_OK, points->Skip(1));
    EXPECT_EQ(S_FALSE, points->Skip(1));
}

// The address of a smart pointer is for an out-parameter: a pointer that
// still holds a reference is asserted, never released behind its owner.
TEST(SmartPointer, TheAddressOfAHeldPointerKeepsItsReference)
{
    auto ctl = NewControl();
    CPtr<IUnknown> held;
    ASSERT_EQ(S_OK, ctl.As(&held));
    IUnknown* raw = held.Get();
    raw->AddRef();
    const ULONG before = raw->Release();
#ifdef NDEBUG
    IUnknown** slot = &held;
    EXPECT_EQ(raw, *slot);
    raw->AddRef();
    EXPECT_EQ(before, raw->Release()) << "the reference was released";
#else
    EXPECT_DEATH((void)&held, "holds a reference");
    (void)before;
#endif
    // An empty pointer gives its slot as always.
    CPtr<IUnknown> empty;
    EXPECT_EQ(nullptr, *&empty);
}

// --- in place, in a window: the mouse event ---

namespace {

class HostedControl {
public:
    HostedControl()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ProgressTestHost";
        RegisterClassW(&wc);
        m_frame = CreateWindowExW(0, L"ProgressTestHost", L"Progress host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                                  50, 420, 100, nullptr, nullptr, wc.hInstance, nullptr);
        m_host = CreateWindowExW(0, L"ProgressTestHost", L"", WS_CHILD | WS_VISIBLE, 10, 10, 374, 14, m_frame,
                                 reinterpret_cast<HMENU>(1205), wc.hInstance, nullptr);
        m_created = mbcom::CControlSite::Create(m_host, CLSID_ProgressCtl, &m_site);
    }
    ~HostedControl()
    {
        if (m_site)
            m_site->Destroy();
        DestroyWindow(m_frame);
    }
    HRESULT m_created;
    HWND m_frame = nullptr;
    HWND m_host = nullptr;
    CPtr<mbcom::CControlSite> m_site;
};

LPARAM Point(int x, int y)
{
    return MAKELPARAM(x, y);
}

}  // namespace

class Hosted : public mbtest::GuiTest {};

TEST_F(Hosted, MouseMovesFireTheSegmentUnderTheMouse)
{
    HostedControl hosted;
    ASSERT_EQ(S_OK, hosted.m_created);
    std::vector<LONG> events;
    ASSERT_EQ(S_OK, hosted.m_site->Advise([&](DISPID id, DISPPARAMS* p) {
        ASSERT_EQ(1, id);
        ASSERT_EQ(1u, p->cArgs);
        ASSERT_EQ(VT_I4, p->rgvarg[0].vt);
        events.push_back(p->rgvarg[0].lVal);
    }));
    HWND wnd = hosted.m_site->ControlWindow();
    ASSERT_NE(nullptr, wnd);
    EXPECT_EQ(hosted.m_host, GetParent(wnd));
    RECT r{};
    GetClientRect(wnd, &r);
    EXPECT_EQ(374, r.right);
    EXPECT_EQ(14, r.bottom);
    RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

    IDispatch* d = hosted.m_site->Dispatch();
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(S_OK, Call(d, 5, DISPATCH_METHOD, {mbcom::MakeI4(0), mbcom::MakeI4(100)}));
    EXPECT_EQ(S_OK, Call(d, 3, DISPATCH_METHOD, {mbcom::MakeI2(0), mbcom::MakeI4(50)}));

    SendMessageW(wnd, WM_MOUSEMOVE, 0, Point(100, 5));
    SendMessageW(wnd, WM_MOUSEMOVE, 0, Point(186, 13));
    SendMessageW(wnd, WM_MOUSEMOVE, 0, Point(187, 5));
    SendMessageW(wnd, WM_MOUSEMOVE, 0, Point(300, 5));
    // Every move fires, also when the answer is the same.
    SendMessageW(wnd, WM_MOUSEMOVE, 0, Point(300, 6));
    EXPECT_EQ((std::vector<LONG>{0, 0, -1, -1, -1}), events);

    events.clear();
    EXPECT_EQ(S_OK, Call(d, 3, DISPATCH_METHOD, {mbcom::MakeI2(1), mbcom::MakeI4(100)}));
    SendMessageW(wnd, WM_MOUSEMOVE, 0, Point(100, 5));
    SendMessageW(wnd, WM_MOUSEMOVE, 0, Point(300, 5));
    EXPECT_EQ(S_OK, Call(d, 3, DISPATCH_METHOD, {mbcom::MakeI2(0), mbcom::MakeI4(0)}));
    SendMessageW(wnd, WM_MOUSEMOVE, 0, Point(100, 5));
    EXPECT_EQ((std::vector<LONG>{0, 1, 1}), events);

    // Posted moves pass through the message loop as real ones do.
    events.clear();
    PostMessageW(wnd, WM_MOUSEMOVE, 0, Point(5, 5));
    EXPECT_TRUE(mbtest::PumpUntil([&] { return !events.empty(); }));
    EXPECT_EQ((std::vector<LONG>{1}), events);
}

TEST_F(Hosted, ClosingTheControlLeavesTheHostLoopRunning)
{
    {
        HostedControl hosted;
        ASSERT_EQ(S_OK, hosted.m_created);
        HWND wnd = hosted.m_site->ControlWindow();
        ASSERT_TRUE(IsWindow(wnd));
        hosted.m_site->Destroy();
        EXPECT_FALSE(IsWindow(wnd));
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Hosted, AmbientPropertiesAreNotFound)
{
    HostedControl hosted;
    ASSERT_EQ(S_OK, hosted.m_created);
    CPtr<IDispatch> ambient;
    ASSERT_EQ(S_OK, hosted.m_site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambient)));
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(ambient, DISPID_AMBIENT_USERMODE, DISPATCH_PROPERTYGET, {}, &r));
}

// --- the property page ---

namespace {

class CRecordingPageSite : public IPropertyPageSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPageSite)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override
    {
        m_status.push_back(flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override
    {
        *lcid = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }

    ULONG m_refs = 1;
    std::vector<DWORD> m_status;
};

// A page shown in a window of the test, editing the objects given.
class CShownPage {
public:
    explicit CShownPage(std::vector<IUnknown*> objects)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = L"ProgressTestPageFrame";
        RegisterClassW(&wc);
        m_frame = CreateWindowExW(0, L"ProgressTestPageFrame", L"Page frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 420, 300,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ProgressProp, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                         reinterpret_cast<void**>(&m_page)));
        if (!m_page)
            return;
        m_page->SetPageSite(&m_site);
        EXPECT_EQ(S_OK, m_page->SetObjects(static_cast<ULONG>(objects.size()), objects.data()));
        RECT r{0, 0, 400, 260};
        EXPECT_EQ(S_OK, m_page->Activate(m_frame, &r, FALSE));
        m_page->Show(SW_SHOW);
        m_dialog = GetWindow(m_frame, GW_CHILD);
    }
    ~CShownPage()
    {
        if (m_page) {
            m_page->Deactivate();
            m_page->SetObjects(0, nullptr);
            m_page->SetPageSite(nullptr);
            m_page.Release();
        }
        DestroyWindow(m_frame);
    }
    void SetCount(const wchar_t* text) { SetDlgItemTextW(m_dialog, 200, text); }
    void Choose(int segment, int colour)
    {
        HWND list = GetDlgItem(m_dialog, 211 + segment);
        SendMessageW(list, CB_SETCURSEL, colour, 0);
        SendMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(211 + segment, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    }
    std::vector<std::wstring> Texts() const
    {
        std::vector<std::wstring> texts;
        for (HWND c = GetWindow(m_dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            wchar_t buf[128] = {};
            GetWindowTextW(c, buf, 128);
            texts.push_back(buf);
        }
        return texts;
    }

    HWND m_frame = nullptr;
    HWND m_dialog = nullptr;
    CRecordingPageSite m_site;
    CPtr<IPropertyPage> m_page;
};

short Colour(IProgressCtl* ctl, short segment)
{
    short c = -1;
    ctl->get_BitmapOrder(segment, &c);
    return c;
}

short Count(IProgressCtl* ctl)
{
    short n = -1;
    ctl->get_ProgressNum(&n);
    return n;
}

}  // namespace

TEST(PropertyPage, TheControlNamesItsPage)
{
    auto ctl = NewControl();
    CPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(S_OK, ctl.As(&pages));
    CAUUID list{};
    ASSERT_EQ(S_OK, pages->GetPages(&list));
    ASSERT_EQ(1u, list.cElems);
    EXPECT_TRUE(IsEqualCLSID(CLSID_ProgressProp, list.pElems[0]));
    CoTaskMemFree(list.pElems);
}

TEST(PropertyPage, InfoGivesTitleAndTemplateSize)
{
    CPtr<IPropertyPage> page;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ProgressProp, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                     reinterpret_cast<void**>(&page)));
    PROPPAGEINFO info{};
    ASSERT_EQ(S_OK, page->GetPageInfo(&info));
    ASSERT_NE(nullptr, info.pszTitle);
    EXPECT_STREQ(L"Progress", info.pszTitle);
    EXPECT_GT(info.size.cx, 200);
    EXPECT_GT(info.size.cy, 120);
    CoTaskMemFree(info.pszTitle);
}

TEST_F(Hosted, PageShowsTheFirstObjectInKorean)
{
    auto ctl = NewControl();
    ctl->put_ProgressNum(3);
    ctl->put_BitmapOrder(2, 1);
    CShownPage page({ctl.Get()});
    ASSERT_TRUE(page.m_page);
    ASSERT_NE(nullptr, page.m_dialog);
    wchar_t count[16] = {};
    GetDlgItemTextW(page.m_dialog, 200, count, 16);
    EXPECT_STREQ(L"3", count);
    const wchar_t* names[] = {L"\uBE68\uAC04\uC0C9", L"\uD30C\uB780\uC0C9", L"\uB178\uB780\uC0C9", L"\uB179\uC0C9"};
    for (int i = 0; i < 4; ++i) {
        HWND list = GetDlgItem(page.m_dialog, 211 + i);
        ASSERT_EQ(4, SendMessageW(list, CB_GETCOUNT, 0, 0));
        for (int c = 0; c < 4; ++c) {
            wchar_t text[32] = {};
            SendMessageW(list, CB_GETLBTEXT, c, reinterpret_cast<LPARAM>(text));
            EXPECT_STREQ(names[c], text);
        }
        EXPECT_EQ(i == 2 ? 1 : 0, SendMessageW(list, CB_GETCURSEL, 0, 0));
    }
    auto texts = page.Texts();
    for (const wchar_t* label : {L"\uBD84\uD560 \uAC1C\uC218 :", L"(1\uAC1C\uC5D0\uC11C 4\uAC1C\uAE4C\uC9C0)",
                                 L"\uBE44\uD2B8\uB9F5 \uC120\uD0DD :", L"1\uBC88\uC9F8 :", L"4\uBC88\uC9F8 :"})
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), std::wstring(label))) << "missing label";
    // Filling the page is no change.
    EXPECT_EQ(S_FALSE, page.m_page->IsPageDirty());
    RedrawWindow(page.m_frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    mbtest::PumpFor(200);
    mbtest::SaveScreenshot(page.m_frame, "progress_property_page");
}

TEST_F(Hosted, ChoosingGreenStoresColourThree)
{
    auto first = NewControl();
    auto second = NewControl();
    CShownPage page({first.Get(), second.Get()});
    ASSERT_TRUE(page.m_page);
    page.Choose(1, 3);
    EXPECT_EQ(S_OK, page.m_page->IsPageDirty());
    EXPECT_FALSE(page.m_site.m_status.empty());
    page.SetCount(L"2");
    EXPECT_EQ(S_OK, page.m_page->Apply());
    EXPECT_EQ(S_FALSE, page.m_page->IsPageDirty());
    for (IProgressCtl* ctl : {first.Get(), second.Get()}) {
        EXPECT_EQ(3, Colour(ctl, 1));
        EXPECT_EQ(0, Colour(ctl, 0));
        EXPECT_EQ(2, Count(ctl));
    }
}

TEST_F(Hosted, RefusedCountLeavesObjectsUnchangedAndThePageDirty)
{
    auto ctl = NewControl();
    CShownPage page({ctl.Get()});
    ASSERT_TRUE(page.m_page);
    // Numbers beyond 16 bits are refused too, never cut down to a count
    // that fits (65537 is not 1).
    for (const wchar_t* bad : {L"0", L"5", L"65537", L"-65535", L"131074"}) {
        page.SetCount(bad);
        page.Choose(0, 2);
        EXPECT_EQ(S_OK, page.m_page->IsPageDirty());
        // The failure reaches the frame, with the control's description.
        EXPECT_EQ(DISP_E_EXCEPTION, page.m_page->Apply());
        EXPECT_EQ(kCountError, ErrorDescription());
        EXPECT_EQ(S_OK, page.m_page->IsPageDirty());
        EXPECT_EQ(4, Count(ctl)) << bad;
        EXPECT_EQ(0, Colour(ctl, 0)) << bad;
    }
}
