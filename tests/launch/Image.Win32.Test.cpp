// What a running system makes of the built Valdrenne.exe: its icons load at
// every size through the system's icon loader, and the activation context
// made from its manifest asks for no elevation. The declarations themselves
// (headers, exports, version block, every resource byte) are checked on the
// host by tests/image/check_image.py. The file lies beside this test in the
// build's bin folder.
#include <gtest/gtest.h>

#include <string>

#include "SharedUtil.Encoding.h"
#include "SharedUtil.ScopedHandle.Win32.h"
#include "support/Win32TestSupport.Win32.h"

using namespace TestSupport;

namespace
{
const wchar_t* const EXECUTABLE_NAME = L"Valdrenne.exe";
constexpr WORD ICON_GROUP_NEUTRAL = 101;
constexpr WORD ICON_GROUP_ENGLISH_UK = 110;
constexpr int ICON_SIZES[] = {16, 32, 48, 64, 256};
constexpr WORD ICON_IMAGE_COUNT = 10;
// Icon ids in order: 64, 48, 32, 16 and 256 px, each at 8 then 32 bpp.
constexpr int ICON_SIZE_BY_ID[ICON_IMAGE_COUNT] = {64, 64, 48, 48, 32, 32, 16, 16, 256, 256};
constexpr DWORD ICON_RESOURCE_VERSION = 0x00030000;

std::wstring ExecutablePath()
{
    return GetBinDirectory() + L"\\" + EXECUTABLE_NAME;
}

using CScopedIcon = SharedUtil::CScopedHandle<SharedUtil::SNullHandleTraits<HICON, DestroyIcon>>;

// The bitmaps GetIconInfo hands out belong to the caller.
using CScopedBitmap = SharedUtil::CScopedHandle<SharedUtil::SNullHandleTraits<HBITMAP, DeleteObject>>;

// The icon's width and the height of its colour bitmap (the mask of a
// monochrome icon holds two images one above the other).
void ExpectIconSize(const CScopedIcon& hIcon, int iSize)
{
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(hIcon.Get(), &info));
    const CScopedBitmap hColour(info.hbmColor);
    const CScopedBitmap hMask(info.hbmMask);
    EXPECT_TRUE(info.fIcon);
    BITMAP bitmap = {};
    ASSERT_NE(GetObjectW(hColour.IsValid() ? hColour.Get() : hMask.Get(), sizeof(bitmap), &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, iSize);
    EXPECT_EQ(bitmap.bmHeight, hColour.IsValid() ? iSize : 2 * iSize);
}

class ImageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hImage.Reset(LoadLibraryExW(ExecutablePath().c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(m_hImage.IsValid()) << SharedUtil::WideToUtf8(ExecutablePath()) << ": error " << GetLastError();
    }

    SharedUtil::CScopedHandle<SharedUtil::SModuleTraits> m_hImage;
};

// Each stored image, DIB or PNG, as the system decodes it.
TEST_F(ImageTest, EveryIconImageDecodesAtItsOwnSize)
{
    for (WORD wLanguage : {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK)})
    {
        for (WORD wId = 1; wId <= ICON_IMAGE_COUNT; ++wId)
        {
            SCOPED_TRACE(testing::Message() << "icon " << wId << ", language " << wLanguage);
            HRSRC hInfo = FindResourceExW(m_hImage.Get(), RT_ICON, MAKEINTRESOURCEW(wId), wLanguage);
            ASSERT_NE(hInfo, nullptr);
            BYTE* pData = static_cast<BYTE*>(LockResource(LoadResource(m_hImage.Get(), hInfo)));
            ASSERT_NE(pData, nullptr);
            SetLastError(0xdeadbeef);
            const CScopedIcon hIcon(CreateIconFromResourceEx(pData, SizeofResource(m_hImage.Get(), hInfo), TRUE,
                                                             ICON_RESOURCE_VERSION, 0, 0, LR_DEFAULTCOLOR));
            ASSERT_TRUE(hIcon.IsValid()) << "error " << GetLastError();
            ExpectIconSize(hIcon, ICON_SIZE_BY_ID[wId - 1]);
        }
    }
}

TEST_F(ImageTest, BothIconGroupsLoadAtEverySize)
{
    for (WORD wGroup : {ICON_GROUP_NEUTRAL, ICON_GROUP_ENGLISH_UK})
    {
        for (int iSize : ICON_SIZES)
        {
            SCOPED_TRACE(testing::Message() << "group " << wGroup << ", " << iSize << " px");
            SetLastError(0xdeadbeef);
            const CScopedIcon hIcon(
                static_cast<HICON>(LoadImageW(m_hImage.Get(), MAKEINTRESOURCEW(wGroup), IMAGE_ICON, iSize, iSize, 0)));
            ASSERT_TRUE(hIcon.IsValid()) << "error " << GetLastError();
            ExpectIconSize(hIcon, iSize);
        }
    }
}

// The system's own reading of the manifest, through an activation context
// made from the executable's manifest resource.
// Activation contexts fail with INVALID_HANDLE_VALUE.
struct SActivationContextTraits
{
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle hContext) { return hContext != INVALID_HANDLE_VALUE; }
    static void Close(Handle hContext) { ReleaseActCtx(hContext); }
};

TEST(ManifestTest, RunsAsInvokerSoNoElevationIsAsked)
{
    const std::wstring wstrPath = ExecutablePath();
    ACTCTXW context = {};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = wstrPath.c_str();
    context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    const SharedUtil::CScopedHandle<SActivationContextTraits> hContext(CreateActCtxW(&context));
    ASSERT_TRUE(hContext.IsValid()) << "error " << GetLastError();

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
    runLevel.RunLevel = ACTCTX_RUN_LEVEL_NUMBERS; // overwritten on success
    SIZE_T uiWritten = 0;
    ASSERT_TRUE(QueryActCtxW(0, hContext.Get(), nullptr, RunlevelInformationInActivationContext, &runLevel,
                             sizeof(runLevel), &uiWritten))
        << "error " << GetLastError();
    EXPECT_EQ(uiWritten, sizeof(runLevel));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(runLevel.UiAccess, 0u);
}
} // namespace
