// The exit notice to the publisher's host window.
#include "app/host_notice.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "app/notice_format.h"
#include "app/program.h"

namespace {

// "%d" of this process's id: empty until the first SendHostNotice, released at exit.
std::string processIdText;

// The host needs milliseconds to read two short texts and write one byte. The bound is generous for
// a busy machine and exists only so that a hung host cannot keep a process alive whose window is gone.
constexpr UINT kHostAnswerTimeoutMs = 10000;

// Longest descriptor: three non-negative "%d" numbers of up to 10 digits and two separators.
constexpr std::size_t kDescriptorCapacity = 32;

// The bytes the host reads, in one heap block: the acknowledgement byte, a copy of the notice text,
// then the descriptor. The block has one owner, so it can be left in place as a whole when the host
// may still be reading it. Heap rather than static data: the image of an x86-64 build lies above
// 4 GiB, where no address fits the host's 32-bit numbers; the block's own addresses are checked too.
struct NoticeBlock {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;

    unsigned char* Ack() const { return bytes.get(); }
    unsigned char* Notice() const { return bytes.get() + 1; }
    unsigned char* Descriptor(std::size_t noticeLength) const { return bytes.get() + 1 + noticeLength; }
};

std::uint64_t AddressOf(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

}  // namespace

bool SendHostNotice(const char* notice) {
    const UINT message = RegisterWindowMessageA("tessivo_news");
    const HWND host = FindWindowA("TessivoUI", "Tessivo软件");
    if (processIdText.empty())
        processIdText = notice::DecimalText(static_cast<std::int32_t>(GetCurrentProcessId()));
    if (!IsWindow(host) || message == 0)
        return false;

    const std::size_t noticeLength = std::strlen(notice);
    NoticeBlock block;
    block.size = 1 + noticeLength + kDescriptorCapacity;
    block.bytes = std::make_unique<unsigned char[]>(block.size);
    *block.Ack() = 1;
    std::memcpy(block.Notice(), notice, noticeLength);

    // Every address the host is given must be one it can read: the whole block lies below 2^31, or
    // nothing is sent.
    std::int32_t blockEnd = 0;
    notice::NoticeMessage out;
    if (!notice::FitsHostNumber(AddressOf(block.bytes.get()) + block.size - 1, blockEnd) ||
        !notice::BuildNoticeMessage(processIdText, {AddressOf(block.Ack()), AddressOf(block.Notice()), noticeLength},
                                    out) ||
        out.descriptor.size() > kDescriptorCapacity)
        return false;
    unsigned char* const descriptor = block.Descriptor(noticeLength);
    std::memcpy(descriptor, out.descriptor.data(), out.descriptor.size());

    // SMTO_BLOCK is left out on purpose: like SendMessageA, the wait still answers messages other
    // threads send to this thread's windows, so a host that asks the closing window something while
    // handling the notice is answered instead of stalling until the bound.
    DWORD_PTR result = 0;
    const LRESULT answered =
        SendMessageTimeoutA(host, message, static_cast<WPARAM>(out.wParam), reinterpret_cast<LPARAM>(descriptor),
                            SMTO_NORMAL | SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT, kHostAnswerTimeoutMs, &result);
    if (answered == 0) {
        // Timed out or cut off: the host may still be reading, so the block stays where it is for the
        // rest of the process's life.
        block.bytes.release();
        return false;
    }
    // The host writes the byte from its own process during the send.
    return *static_cast<volatile unsigned char*>(block.Ack()) == 2;
}

void SendExitNotice() {
    const std::string path = ProgramDirectory() + "\\config\\config.ini";
    // A missing file, section or key leaves the empty default; a longer value comes back cut to fit.
    auto name = std::make_unique<char[]>(10240);
    GetPrivateProfileStringA("程序信息", "名称", "", name.get(), 10240, path.c_str());
    const std::string text = std::string("[退出]") + name.get();
    SendHostNotice(text.c_str());
}

void ReleaseHostNoticeRecords() {
    std::string().swap(processIdText);
}
