// The page classes of the tests' page module (com_test_pages) and the probe through which a
// test's object sees and steers them.
#pragma once

#include "com/base.h"

namespace comtest {

inline constexpr const char* kPagesModule = "com_test_pages.dll";
// Titles "First" and "Second"; help file "pages.hlp", contexts 11 and 12.
inline constexpr CLSID kFirstPageClsid = {
    0x5e0c1b7a, 0x3d42, 0x4a6e, {0x9f, 0x18, 0x27, 0xb3, 0x64, 0x0d, 0xe1, 0x95}};
inline constexpr CLSID kSecondPageClsid = {
    0x8b21f4c6, 0x0e97, 0x4d53, {0xa4, 0x6d, 0x52, 0x1c, 0x88, 0xf7, 0x30, 0x2b}};
inline constexpr DWORD kFirstHelpContext = 11;
inline constexpr DWORD kSecondHelpContext = 12;
inline constexpr LONG kPageWidth = 375;
inline constexpr LONG kPageHeight = 179;

// What the pages' first object answers: each page records its calls on it and asks it how to
// answer Apply and Help.
struct IPageProbe : IUnknown {
    virtual void STDMETHODCALLTYPE Record(const char* title, const char* call) = 0;
    virtual HRESULT STDMETHODCALLTYPE ApplyAnswer(const char* title) = 0;
    virtual BOOL STDMETHODCALLTYPE HasOwnHelp(const char* title) = 0;
    // The page, given its objects: the test makes it dirty through ITestPage.
    virtual void STDMETHODCALLTYPE Attach(const char* title, IUnknown* page) = 0;

  protected:
    ~IPageProbe() = default;
};

// The user's edit on a test page: the page reports itself dirty to its site.
struct ITestPage : IUnknown {
    virtual void STDMETHODCALLTYPE Edit() = 0;

  protected:
    ~ITestPage() = default;
};

inline constexpr IID IID_IPageProbe = {
    0x2f6a9d13, 0x7c58, 0x4b80, {0x83, 0x0e, 0xd4, 0x49, 0x6b, 0x21, 0xfa, 0x07}};
inline constexpr IID IID_ITestPage = {
    0xc47e0528, 0x19ab, 0x4f36, {0xbd, 0x91, 0x0a, 0x65, 0x3e, 0xc2, 0x58, 0x7d}};

}  // namespace comtest
