// One small owner type per handle kind; each closes in its destructor.
#pragma once
#include <windows.h>
#include <shlobj.h>

template <typename Traits>
class UniqueHandle {
public:
    using T = typename Traits::Type;
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    T get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Invalid(); }
    T release() {
        T h = h_;
        h_ = Traits::Invalid();
        return h;
    }
    void reset(T h = Traits::Invalid()) {
        if (h_ != Traits::Invalid()) {
            DWORD err = GetLastError();  // closing must not hide the caller's error
            Traits::Close(h_);
            SetLastError(err);
        }
        h_ = h;
    }
    // Frees the old value before handing out the address for an out-parameter.
    T* put() {
        reset();
        return &h_;
    }

private:
    T h_ = Traits::Invalid();
};

#define SETUP_HANDLE_TRAITS(Name, HandleType, InvalidValue, CloseCall) \
    struct Name {                                                       \
        using Type = HandleType;                                        \
        static Type Invalid() { return InvalidValue; }                  \
        static void Close(Type h) { CloseCall(h); }                     \
    }

SETUP_HANDLE_TRAITS(FileTraits, HANDLE, INVALID_HANDLE_VALUE, CloseHandle);
SETUP_HANDLE_TRAITS(KernelTraits, HANDLE, nullptr, CloseHandle);
SETUP_HANDLE_TRAITS(FindTraits, HANDLE, INVALID_HANDLE_VALUE, FindClose);
SETUP_HANDLE_TRAITS(KeyTraits, HKEY, nullptr, RegCloseKey);
SETUP_HANDLE_TRAITS(MemDCTraits, HDC, nullptr, DeleteDC);
SETUP_HANDLE_TRAITS(GdiTraits, HGDIOBJ, nullptr, DeleteObject);
SETUP_HANDLE_TRAITS(GlobalTraits, HGLOBAL, nullptr, GlobalFree);
SETUP_HANDLE_TRAITS(IconTraits, HICON, nullptr, DestroyIcon);
SETUP_HANDLE_TRAITS(ItemIdTraits, LPITEMIDLIST, nullptr, CoTaskMemFree);
SETUP_HANDLE_TRAITS(MetaFileTraits, HENHMETAFILE, nullptr, DeleteEnhMetaFile);
SETUP_HANDLE_TRAITS(ModuleTraits, HMODULE, nullptr, FreeLibrary);
inline void FreeProcessHeapBlock(void* p) { HeapFree(GetProcessHeap(), 0, p); }
SETUP_HANDLE_TRAITS(HeapTraits, void*, nullptr, FreeProcessHeapBlock);
#undef SETUP_HANDLE_TRAITS

using UniqueFile = UniqueHandle<FileTraits>;          // CreateFile results
using UniqueKernelHandle = UniqueHandle<KernelTraits>;  // processes, threads
using UniqueFind = UniqueHandle<FindTraits>;
using UniqueKey = UniqueHandle<KeyTraits>;
using UniqueMemDC = UniqueHandle<MemDCTraits>;
using UniqueGdiObject = UniqueHandle<GdiTraits>;
using UniqueGlobal = UniqueHandle<GlobalTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueItemIdList = UniqueHandle<ItemIdTraits>;
using UniqueEnhMetaFile = UniqueHandle<MetaFileTraits>;
using UniqueHeapBlock = UniqueHandle<HeapTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;  // LoadLibrary results

// A window's device context, released against the window it came from.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
    ~PaintScope() { EndPaint(hwnd_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc() const { return dc_; }
    const RECT& rect() const { return ps_.rcPaint; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectScope() {
        if (old_) SelectObject(dc_, old_);
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A COM interface pointer, released on scope exit.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    void** put_void() {
        reset();
        return reinterpret_cast<void**>(&p_);
    }

private:
    T* p_ = nullptr;
};

// COM for the current thread; uninitialised only when this guard's own call succeeded
// (S_OK or S_FALSE), so a thread already in another apartment is left as it was.
class ComInit {
public:
    ComInit() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComInit() {
        if (initialised_) CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

private:
    bool initialised_;
};

// Heap memory of n bytes, zero-filled; empty when the allocation failed.
class HeapBuffer {
public:
    explicit HeapBuffer(size_t n)
        : block_(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, n ? n : 1)), size_(block_.get() ? n : 0) {}
    char* data() const { return static_cast<char*>(block_.get()); }
    size_t size() const { return size_; }
    explicit operator bool() const { return block_.get() != nullptr; }

private:
    UniqueHeapBlock block_;
    size_t size_;
};
