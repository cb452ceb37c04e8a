// The drag source of the end-to-end tests: one IDataObject offering a single format, one IDropSource.
#include "file_drop.h"

#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <new>

#include "user_input.h"
#include "wait.h"

namespace e2e {

struct DragJob {
    POINT screen{};
    UINT format = 0;
    std::string payload;  // the bytes of the HGLOBAL the data object hands out
    unsigned modifiers = 0;
    HRESULT result = E_PENDING;
    DWORD effect = DROPEFFECT_NONE;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~DragJob() {
        if (done != nullptr)
            CloseHandle(done);
    }
};

namespace {

// IUnknown for a heap object that implements one interface: it starts with one reference, the
// creator's, and deletes itself at the last Release.
template <typename Interface, const IID& InterfaceId>
class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, InterfaceId)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

protected:
    virtual ~ComObject() = default;

private:
    LONG refs_ = 1;
};

class DataObject final : public ComObject<IDataObject, IID_IDataObject> {
public:
    DataObject(UINT format, const std::string& payload) : payload_(payload) {
        format_.cfFormat = static_cast<CLIPFORMAT>(format);
        format_.ptd = nullptr;
        format_.dwAspect = DVASPECT_CONTENT;
        format_.lindex = -1;
        format_.tymed = TYMED_HGLOBAL;
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (format == nullptr || medium == nullptr)
            return E_INVALIDARG;
        const HRESULT offered = QueryGetData(format);
        if (offered != S_OK)
            return offered;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, payload_.size());
        if (block == nullptr)
            return E_OUTOFMEMORY;
        void* bytes = GlobalLock(block);
        if (bytes == nullptr) {
            GlobalFree(block);
            return E_OUTOFMEMORY;
        }
        std::memcpy(bytes, payload_.data(), payload_.size());
        GlobalUnlock(block);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;  // the receiver owns it now and frees it with ReleaseStgMedium
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (format == nullptr)
            return E_INVALIDARG;
        if (format->cfFormat != format_.cfFormat || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL))
            return DV_E_TYMED;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out != nullptr)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        return SHCreateStdEnumFmtEtc(1, &format_, formats);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~DataObject() override = default;
    FORMATETC format_{};
    std::string payload_;
};

class DropSource final : public ComObject<IDropSource, IID_IDropSource> {
public:
    // No button is held, so the first check drops.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keys) override {
        if (escapePressed)
            return DRAGDROP_S_CANCEL;
        return (keys & (MK_LBUTTON | MK_RBUTTON)) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    ~DropSource() override = default;
};

// DoDragDrop reads Ctrl and Shift from this thread's keyboard state (GetKeyboardState), so the
// modifiers are set there, for this thread only, and put back afterwards.
class HeldModifiers {
public:
    explicit HeldModifiers(unsigned modifiers) {
        saved_ = GetKeyboardState(before_) != FALSE;
        if (!saved_ || modifiers == 0)
            return;
        BYTE state[256];
        std::memcpy(state, before_, sizeof state);
        if (modifiers & kCtrl)
            state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        if (modifiers & kShift)
            state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
        if (modifiers & kAlt)
            state[VK_MENU] = state[VK_LMENU] = 0x80;
        changed_ = SetKeyboardState(state) != FALSE;
    }
    ~HeldModifiers() {
        if (changed_)
            SetKeyboardState(before_);
    }
    HeldModifiers(const HeldModifiers&) = delete;
    HeldModifiers& operator=(const HeldModifiers&) = delete;

private:
    BYTE before_[256] = {};
    bool saved_ = false;
    bool changed_ = false;
};

DWORD WINAPI RunDrag(void* param) {
    // The thread owns one reference to the job; the Drag may be gone before the drag ends.
    std::unique_ptr<std::shared_ptr<DragJob>> owned(static_cast<std::shared_ptr<DragJob>*>(param));
    DragJob& job = **owned;
    const HRESULT oleInit = OleInitialize(nullptr);
    if (SUCCEEDED(oleInit)) {
        auto* data = new (std::nothrow) DataObject(job.format, job.payload);
        auto* source = new (std::nothrow) DropSource();
        if (data != nullptr && source != nullptr) {
            HeldModifiers held(job.modifiers);
            SetCursorPos(job.screen.x, job.screen.y);
            DWORD effect = DROPEFFECT_NONE;
            job.result = DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
            job.effect = effect;
        } else {
            job.result = E_OUTOFMEMORY;
        }
        if (data != nullptr)
            data->Release();
        if (source != nullptr)
            source->Release();
        OleUninitialize();
    } else {
        job.result = oleInit;
    }
    SetEvent(job.done);
    return 0;
}

std::string DropFilesBlock(const std::vector<std::string>& paths) {
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = FALSE;
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    for (const std::string& path : paths) {
        block += path;
        block += '\0';
    }
    block += '\0';
    return block;
}

}  // namespace

Drag::~Drag() {
    if (thread_ != nullptr) {
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
    }
}

bool Drag::Start(POINT screen, UINT format, std::string payload, unsigned modifiers) {
    if (thread_ != nullptr)
        return false;
    job_ = std::make_shared<DragJob>();
    if (job_->done == nullptr)
        return false;
    job_->screen = screen;
    job_->format = format;
    job_->payload = std::move(payload);
    job_->modifiers = modifiers;
    auto* threadRef = new (std::nothrow) std::shared_ptr<DragJob>(job_);
    if (threadRef == nullptr)
        return false;
    thread_ = CreateThread(nullptr, 0, RunDrag, threadRef, 0, nullptr);
    if (thread_ == nullptr) {
        delete threadRef;
        return false;
    }
    return true;
}

bool Drag::StartFiles(POINT screen, const std::vector<std::string>& paths, unsigned modifiers) {
    return Start(screen, CF_HDROP, DropFilesBlock(paths), modifiers);
}

bool Drag::StartText(POINT screen, const std::string& text, unsigned modifiers) {
    return Start(screen, CF_TEXT, text + '\0', modifiers);
}

bool Drag::Wait(DWORD timeoutMs, HRESULT* result, DWORD* effect) {
    if (job_ == nullptr)
        return false;
    const bool done = WaitUntil([this] { return WaitForSingleObject(job_->done, 0) == WAIT_OBJECT_0; }, timeoutMs);
    if (done && result != nullptr)
        *result = job_->result;
    if (done && effect != nullptr)
        *effect = job_->effect;
    return done;
}

bool DropFiles(POINT screen, const std::vector<std::string>& paths, unsigned modifiers, HRESULT* result,
               DWORD* effect) {
    Drag drag;
    return drag.StartFiles(screen, paths, modifiers) && drag.Wait(kPatienceMs, result, effect);
}

POINT ClientCentre(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT point{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    ClientToScreen(hwnd, &point);
    return point;
}

}  // namespace e2e
