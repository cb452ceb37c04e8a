// The exit notice as the host window sees it. The test process plays the host: a top-level window
// on its own thread that decodes the message, reads the texts out of the program and acknowledges.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "paths.h"
#include "program.h"
#include "wait.h"

namespace {

const char kHostClass[] = "TessivoUI";
const char kHostTitle[] = "Tessivo软件";

// What the host does with a notice once it has read it.
enum class HostAnswer {
    Acknowledge,  // writes 2 into the byte
    WriteOther,   // writes 3
    Silent,       // writes nothing
    Hang,         // reads, then does not return until the test lets it go
};

// One notice as the host received it.
struct ReceivedNotice {
    DWORD processId = 0;               // from wParam
    std::string descriptor;            // D bytes at lParam
    std::string text;                  // L bytes at T
    int ackBefore = -1;                // the acknowledgement byte as the host found it
    bool read = false;                 // descriptor, text and byte could all be read
    bool programWindowExists = false;  // IsWindow on the program's main window during the message
    bool programWindowVisible = false;
    bool programRunning = false;       // the program had not exited yet
};

// Decodes wParam: the first digit is the length of the process id, then the id, then D. Written
// here from the message's description, not with the program's own code.
bool DecodeKey(WPARAM wParam, DWORD& processId, std::size_t& descriptorLength) {
    char key[32];
    std::snprintf(key, sizeof key, "%llu", static_cast<unsigned long long>(wParam));
    const std::size_t keyLength = std::strlen(key);
    const std::size_t idLength = static_cast<std::size_t>(key[0] - '0');
    if (idLength == 0 || 1 + idLength >= keyLength)
        return false;
    processId = static_cast<DWORD>(std::strtoul(std::string(key + 1, idLength).c_str(), nullptr, 10));
    descriptorLength = static_cast<std::size_t>(std::strtoul(key + 1 + idLength, nullptr, 10));
    return true;
}

// "A$L&T" into its three numbers; false unless the text is exactly those numbers in "%d" form.
bool ParseDescriptor(const std::string& text, unsigned long& a, unsigned long& l, unsigned long& t) {
    if (text.find_first_not_of("0123456789$&") != std::string::npos ||
        std::sscanf(text.c_str(), "%lu$%lu&%lu", &a, &l, &t) != 3)
        return false;
    char again[64];
    std::snprintf(again, sizeof again, "%lu$%lu&%lu", a, l, t);
    return text == again;
}

// A top-level window of any class and title, created and pumped on its own thread, that handles
// the registered notice message the way `answer` says and keeps what it received.
class HostWindow {
public:
    HostWindow(const char* className, const char* title, HostAnswer answer)
        : answer_(answer), message_(RegisterWindowMessageA("tessivo_news")) {
        thread_ = std::thread([this, className, title] { Run(className, title); });
        WaitForSingleObject(ready_, INFINITE);
    }
    ~HostWindow() {
        LetGo();
        if (window_ != nullptr)
            PostMessageA(window_, WM_CLOSE, 0, 0);
        thread_.join();
        CloseHandle(ready_);
        CloseHandle(letGo_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    bool ok() const { return window_ != nullptr; }

    // The program whose notice is expected: its state is recorded when the message comes.
    void Watch(const e2e::Program& program) {
        std::lock_guard<std::mutex> lock(mutex_);
        program_ = program.process();
        programWindow_ = program.window();
    }

    // Lets a hanging handler return.
    void LetGo() { SetEvent(letGo_); }

    std::vector<ReceivedNotice> Notices() {
        std::lock_guard<std::mutex> lock(mutex_);
        return notices_;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self != nullptr && message == self->message_ && message != 0) {
            self->OnNotice(wParam, lParam);
            return 0;
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    void Run(const char* className, const char* title) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassExA(&windowClass);  // fails harmlessly when an earlier host registered it
        HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        if (window != nullptr)
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        window_ = window;
        SetEvent(ready_);
        if (window == nullptr)
            return;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    }

    // Reads the descriptor and the notice out of the sending process and answers.
    void OnNotice(WPARAM wParam, LPARAM lParam) {
        ReceivedNotice received;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received.programRunning = program_ != nullptr && WaitForSingleObject(program_, 0) == WAIT_TIMEOUT;
            received.programWindowExists = programWindow_ != nullptr && IsWindow(programWindow_);
            received.programWindowVisible = programWindow_ != nullptr && IsWindowVisible(programWindow_);
        }
        std::size_t descriptorLength = 0;
        HANDLE process = nullptr;
        if (DecodeKey(wParam, received.processId, descriptorLength))
            process = OpenProcess(PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, received.processId);
        if (process != nullptr) {
            received.descriptor.assign(descriptorLength, '\0');
            unsigned long a = 0;
            unsigned long l = 0;
            unsigned long t = 0;
            unsigned char ack = 0;
            if (ReadProcessMemory(process, reinterpret_cast<void*>(lParam), received.descriptor.data(),
                                  descriptorLength, nullptr) &&
                ParseDescriptor(received.descriptor, a, l, t)) {
                received.text.assign(l, '\0');
                received.read =
                    ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<std::uintptr_t>(t)),
                                      received.text.data(), l, nullptr) &&
                    ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<std::uintptr_t>(a)), &ack, 1,
                                      nullptr);
                received.ackBefore = ack;
                const unsigned char answer = answer_ == HostAnswer::Acknowledge ? 2 : 3;
                if (received.read && (answer_ == HostAnswer::Acknowledge || answer_ == HostAnswer::WriteOther))
                    WriteProcessMemory(process, reinterpret_cast<void*>(static_cast<std::uintptr_t>(a)), &answer, 1,
                                       nullptr);
            }
            CloseHandle(process);
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            notices_.push_back(received);
        }
        // Capped so that a failing test cannot leave the host hanging for ever.
        if (answer_ == HostAnswer::Hang)
            WaitForSingleObject(letGo_, 120000);
    }

    const HostAnswer answer_;
    const UINT message_;
    HANDLE ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE letGo_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND window_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    HANDLE program_ = nullptr;
    HWND programWindow_ = nullptr;
    std::vector<ReceivedNotice> notices_;
};

// Each test runs its own copy of ordanel.exe in a scratch folder, where config\config.ini is its
// own, and starts it from another current directory: the INI is found through the program's folder.
class ExitNoticeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.ok());
        exe_ = dir_.CopyIn(e2e::ProgramPath(), "ordanel.exe");
        ASSERT_FALSE(exe_.empty());
    }

    // Writes config\config.ini with exactly these bytes.
    bool WriteIni(const std::string& bytes) const {
        const std::string config = dir_.path() + "\\config";
        CreateDirectoryA(config.c_str(), nullptr);
        HANDLE file = CreateFileA((config + "\\config.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        CloseHandle(file);
        return ok;
    }

    bool Start(e2e::Program& program) const { return program.Start(exe_, "C:\\"); }

    // Closes the program's window as its close button would and waits for the process to end. The
    // wait allows for a host that keeps the program waiting as long as it lets it.
    static bool CloseAndWait(const e2e::Program& program, DWORD* exitCode, ULONGLONG* closeMs = nullptr) {
        const ULONGLONG started = GetTickCount64();
        if (!PostMessageA(program.window(), WM_CLOSE, 0, 0))
            return false;
        const bool ended = program.WaitForExit(e2e::kPatienceMs + 30000, exitCode);
        if (closeMs != nullptr)
            *closeMs = GetTickCount64() - started;
        return ended;
    }

    e2e::ScratchDir dir_;
    std::string exe_;
};

// The registered message comes once, while the program's window is being destroyed and before the
// process ends; the host reads "[退出]" and the display name out of the program and acknowledges.
TEST_F(ExitNoticeTest, HostReadsNoticeWithDisplayNameFromIni) {
    const std::string longName(12000, 'x');
    const struct {
        const char* what;
        bool writeIni;
        std::string ini;
        std::string notice;
    } cases[] = {
        {"display name in code page 936", true, "[程序信息]\r\n名称=测试工具\r\n", "[退出]测试工具"},
        {"display name among other sections and keys", true,
         "[其他]\r\n名称=别的\r\n[程序信息]\r\n版本=1.0\r\n名称=Ordanel 工具\r\n", "[退出]Ordanel 工具"},
        {"no config.ini", false, "", "[退出]"},
        {"no section 程序信息", true, "[其他]\r\n名称=别的\r\n", "[退出]"},
        {"no key 名称 in the section", true, "[程序信息]\r\n版本=1.0\r\n", "[退出]"},
        {"empty value", true, "[程序信息]\r\n名称=\r\n", "[退出]"},
        {"a value longer than the buffer comes cut to 10239 bytes", true, "[程序信息]\r\n名称=" + longName + "\r\n",
         "[退出]" + longName.substr(0, 10239)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string configDir = dir_.path() + "\\config";
        DeleteFileA((configDir + "\\config.ini").c_str());
        if (c.writeIni) {
            ASSERT_TRUE(WriteIni(c.ini));
        }

        HostWindow host(kHostClass, kHostTitle, HostAnswer::Acknowledge);
        ASSERT_TRUE(host.ok());
        e2e::Program program;
        ASSERT_TRUE(Start(program));
        host.Watch(program);
        DWORD exitCode = 1;
        ASSERT_TRUE(CloseAndWait(program, &exitCode));
        EXPECT_EQ(exitCode, 0u);

        const auto notices = host.Notices();
        ASSERT_EQ(notices.size(), 1u);
        const ReceivedNotice& n = notices[0];
        EXPECT_EQ(n.processId, program.processId());
        ASSERT_TRUE(n.read) << "descriptor: " << n.descriptor;
        EXPECT_EQ(n.text, c.notice);
        EXPECT_EQ(n.ackBefore, 1);
        EXPECT_TRUE(n.programRunning) << "the notice must come before the process ends";
        EXPECT_TRUE(n.programWindowExists) << "the notice must come while the window is being destroyed";
        EXPECT_FALSE(n.programWindowVisible) << "the window is hidden once its destruction has begun";
    }
}

// Only a window with both the class and the title is the host; others receive nothing, and with no
// host at all the program still closes normally.
TEST_F(ExitNoticeTest, OnlyTheWindowWithBothClassAndTitleIsTheHost) {
    ASSERT_TRUE(WriteIni("[程序信息]\r\n名称=测试工具\r\n"));
    const struct {
        const char* what;
        bool rightClassOtherTitle;
        bool otherClassRightTitle;
        bool host;
    } cases[] = {
        {"no window of either kind", false, false, false},
        {"right class, another title", true, false, false},
        {"another class, right title", false, true, false},
        {"both look-alikes beside the host", true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<HostWindow>> decoys;
        if (c.rightClassOtherTitle)
            decoys.push_back(std::make_unique<HostWindow>(kHostClass, "Tessivo", HostAnswer::Acknowledge));
        if (c.otherClassRightTitle)
            decoys.push_back(std::make_unique<HostWindow>("TessivoUIx", kHostTitle, HostAnswer::Acknowledge));
        std::unique_ptr<HostWindow> host;
        if (c.host)
            host = std::make_unique<HostWindow>(kHostClass, kHostTitle, HostAnswer::Acknowledge);

        e2e::Program program;
        ASSERT_TRUE(Start(program));
        DWORD exitCode = 1;
        ASSERT_TRUE(CloseAndWait(program, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        for (const auto& decoy : decoys)
            EXPECT_TRUE(decoy->Notices().empty());
        if (host) {
            const auto notices = host->Notices();
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_EQ(notices[0].text, "[退出]测试工具");
        }
    }
}

// A host that reads the notice but does not acknowledge it, or answers with another value, gets no
// retry and the program closes as usual.
TEST_F(ExitNoticeTest, HostThatDoesNotAcknowledgeStillLetsTheProgramExit) {
    for (const HostAnswer answer : {HostAnswer::Silent, HostAnswer::WriteOther}) {
        SCOPED_TRACE(answer == HostAnswer::Silent ? "no answer written" : "3 written instead of 2");
        HostWindow host(kHostClass, kHostTitle, answer);
        e2e::Program program;
        ASSERT_TRUE(Start(program));
        DWORD exitCode = 1;
        ASSERT_TRUE(CloseAndWait(program, &exitCode));
        EXPECT_EQ(exitCode, 0u);
        const auto notices = host.Notices();
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_TRUE(notices[0].read);
        EXPECT_EQ(notices[0].text, "[退出]");
    }
}

// A host that never returns from the message holds the closing program only for the bounded wait;
// the program then exits with 0 while the host is still inside the message, reading or not.
TEST_F(ExitNoticeTest, HungHostHoldsTheProgramOnlyForTheBoundedWait) {
    HostWindow host(kHostClass, kHostTitle, HostAnswer::Hang);
    e2e::Program program;
    ASSERT_TRUE(Start(program));
    host.Watch(program);
    DWORD exitCode = 1;
    ULONGLONG closeMs = 0;
    ASSERT_TRUE(CloseAndWait(program, &exitCode, &closeMs));
    EXPECT_EQ(exitCode, 0u);
    std::printf("[ measure  ] with a hung host the program ended %llu ms after WM_CLOSE\n",
                static_cast<unsigned long long>(closeMs));
    const auto notices = host.Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].read);
    EXPECT_TRUE(notices[0].programRunning);
    host.LetGo();
}

}  // namespace
