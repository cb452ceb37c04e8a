// DropTarget: the main window's OLE drop target, which takes file lists (CF_HDROP) only.
#include "ui/drop_target.h"

#include <shellapi.h>

#include <new>
#include <vector>

#include "ui/win_handles.h"

namespace {

FORMATETC FileListFormat() { return FORMATETC{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

bool OffersFileList(IDataObject* data) {
    if (data == nullptr)
        return false;
    FORMATETC format = FileListFormat();
    return data->QueryGetData(&format) == S_OK;
}

// The dropped paths as one text; empty when the data holds no file list.
bool ReadDroppedPaths(IDataObject* data, std::string& pathText) {
    FORMATETC format = FileListFormat();
    STGMEDIUM filled{};
    if (FAILED(data->GetData(&format, &filled)))
        return false;
    std::vector<std::string> paths;
    {
        StgMedium medium(filled);  // released at the end of this block, before the load
        HDROP drop = static_cast<HDROP>(medium.get().hGlobal);
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        paths.reserve(count);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileA(drop, i, nullptr, 0);
            std::string path(length + 1, '\0');
            const UINT copied = DragQueryFileA(drop, i, path.data(), length + 1);
            path.resize(copied <= length ? copied : length);
            paths.push_back(std::move(path));
        }
    }
    if (paths.size() == 1) {
        pathText = std::move(paths.front());
        return true;
    }
    pathText.clear();
    for (const std::string& path : paths) {
        pathText += path;
        pathText += "\r\n";
    }
    return true;
}

}  // namespace

DWORD ChooseDropEffect(bool acceptable, DWORD keyState, DWORD allowed) {
    if (!acceptable)
        return DROPEFFECT_NONE;
    if ((keyState & MK_CONTROL) != 0) {
        if ((keyState & MK_SHIFT) != 0)
            return DROPEFFECT_NONE;
        return (allowed & DROPEFFECT_COPY) != 0 ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    }
    if ((keyState & MK_SHIFT) != 0)
        return (allowed & DROPEFFECT_MOVE) != 0 ? DROPEFFECT_MOVE : DROPEFFECT_NONE;
    for (const DWORD effect : {DWORD{DROPEFFECT_COPY}, DWORD{DROPEFFECT_MOVE}, DWORD{DROPEFFECT_LINK}}) {
        if ((allowed & effect) != 0)
            return effect;
    }
    return DROPEFFECT_NONE;
}

HRESULT STDMETHODCALLTYPE DropTarget::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DropTarget::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE DropTarget::Release() {
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
    acceptable_ = OffersFileList(data);
    if (effect != nullptr)
        *effect = ChooseDropEffect(acceptable_, keyState, *effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD keyState, POINTL, DWORD* effect) {
    // The whole window is one target, so the point does not matter.
    if (effect != nullptr)
        *effect = ChooseDropEffect(acceptable_, keyState, *effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave() {
    acceptable_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
    const bool acceptable = acceptable_;
    acceptable_ = false;  // the drag ends here
    if (effect == nullptr)
        return E_FAIL;
    *effect = ChooseDropEffect(acceptable, keyState, *effect);
    if (*effect == DROPEFFECT_NONE || data == nullptr)
        return E_FAIL;

    std::string pathText;
    if (!ReadDroppedPaths(data, pathText))
        return E_FAIL;
    if (onFileDropped_ != nullptr)
        onFileDropped_(pathText);
    // The source is told the drop did not complete, so a move never deletes the file.
    return E_FAIL;
}
