// Small move-only owners for the Win32 and COM resources the window code takes.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

// A movable global memory block; freed unless release() hands it to someone else (the clipboard).
class GlobalMemory {
public:
    GlobalMemory() noexcept = default;
    explicit GlobalMemory(HGLOBAL block) noexcept : block_(block) {}
    GlobalMemory(GlobalMemory&& other) noexcept : block_(other.release()) {}
    GlobalMemory& operator=(GlobalMemory&& other) noexcept {
        if (this != &other) {
            reset();
            block_ = other.release();
        }
        return *this;
    }
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    ~GlobalMemory() { reset(); }

    HGLOBAL get() const noexcept { return block_; }
    explicit operator bool() const noexcept { return block_ != nullptr; }
    HGLOBAL release() noexcept { return std::exchange(block_, nullptr); }
    void reset() noexcept {
        if (block_ != nullptr)
            GlobalFree(block_);
        block_ = nullptr;
    }

private:
    HGLOBAL block_ = nullptr;
};

// GlobalLock for one scope; the block stays owned by whoever owns it.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL block) noexcept : block_(block), data_(GlobalLock(block)) {}
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    ~GlobalLockScope() {
        if (data_ != nullptr)
            GlobalUnlock(block_);
    }

    void* get() const noexcept { return data_; }
    explicit operator bool() const noexcept { return data_ != nullptr; }

private:
    HGLOBAL block_;
    void* data_;
};

// The clipboard, opened with an owner window and closed on scope exit.
class ClipboardOpen {
public:
    ClipboardOpen() noexcept = default;
    explicit ClipboardOpen(HWND owner) noexcept : open_(OpenClipboard(owner) != FALSE) {}
    ClipboardOpen(ClipboardOpen&& other) noexcept : open_(std::exchange(other.open_, false)) {}
    ClipboardOpen& operator=(ClipboardOpen&& other) noexcept {
        if (this != &other) {
            close();
            open_ = std::exchange(other.open_, false);
        }
        return *this;
    }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    ~ClipboardOpen() { close(); }

    bool ok() const noexcept { return open_; }

private:
    void close() noexcept {
        if (open_)
            CloseClipboard();
        open_ = false;
    }

    bool open_ = false;
};

// A medium that IDataObject::GetData filled; released with ReleaseStgMedium, which knows its kind.
class StgMedium {
public:
    // Takes ownership of a medium GetData has just filled successfully.
    explicit StgMedium(const STGMEDIUM& medium) noexcept : medium_(medium) {}
    StgMedium(const StgMedium&) = delete;
    StgMedium& operator=(const StgMedium&) = delete;
    ~StgMedium() { ReleaseStgMedium(&medium_); }

    const STGMEDIUM& get() const noexcept { return medium_; }

private:
    STGMEDIUM medium_;
};

// OLE on this thread: OleUninitialize runs on scope exit only if OleInitialize succeeded.
class OleInit {
public:
    OleInit() noexcept : hr_(OleInitialize(nullptr)) {}
    OleInit(const OleInit&) = delete;
    OleInit& operator=(const OleInit&) = delete;
    ~OleInit() {
        if (SUCCEEDED(hr_))
            OleUninitialize();
    }

    bool ok() const noexcept { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

// An icon loaded with LoadImageA (not shared), destroyed once no window shows it any more.
class IconHandle {
public:
    IconHandle() noexcept = default;
    explicit IconHandle(HICON icon) noexcept : icon_(icon) {}
    IconHandle(IconHandle&& other) noexcept : icon_(std::exchange(other.icon_, nullptr)) {}
    IconHandle& operator=(IconHandle&& other) noexcept {
        if (this != &other) {
            reset();
            icon_ = std::exchange(other.icon_, nullptr);
        }
        return *this;
    }
    IconHandle(const IconHandle&) = delete;
    IconHandle& operator=(const IconHandle&) = delete;
    ~IconHandle() { reset(); }

    HICON get() const noexcept { return icon_; }
    void reset() noexcept {
        if (icon_ != nullptr)
            DestroyIcon(icon_);
        icon_ = nullptr;
    }

private:
    HICON icon_ = nullptr;
};
