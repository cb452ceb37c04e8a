// DropTarget: the main window's OLE drop target, which takes file lists (CF_HDROP) only.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

// Receives the dropped path text: one path alone, or every path followed by "\r\n".
using FileDroppedHandler = void (*)(const std::string& pathText);

// The effect a drag gets from the key state and the effects its source allows.
DWORD ChooseDropEffect(bool acceptable, DWORD keyState, DWORD allowed);

class DropTarget final : public IDropTarget {
public:
    // Starts with one reference, the creator's.
    explicit DropTarget(FileDroppedHandler onFileDropped) noexcept : onFileDropped_(onFileDropped) {}
    DropTarget(const DropTarget&) = delete;
    DropTarget& operator=(const DropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    // Loads the dropped file before it returns, and answers E_FAIL in every case.
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

private:
    ~DropTarget() = default;  // only Release deletes

    ULONG refs_ = 1;
    bool acceptable_ = false;
    FileDroppedHandler onFileDropped_;
};
