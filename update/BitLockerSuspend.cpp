#include "update/BitLockerSuspend.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/Scoped.h"
#include "platform/Win32Constants.h"
#include "sysinfo/WmiSession.h"

using platform::Os;

namespace update {

namespace {

constexpr const char16_t* kNamespace = u"\\\\.\\root\\cimv2\\Security\\MicrosoftVolumeEncryption";
constexpr const char16_t* kVolumeClass = u"Win32_EncryptableVolume";
constexpr const char16_t* kReturnValue = u"ReturnValue";
constexpr const char16_t* kProtectionStatus = u"ProtectionStatus";
constexpr std::int32_t kProtectionOff = 0;
constexpr std::int32_t kProtectionOn = 1;
// Protection comes back by itself after this many restarts.
constexpr std::int32_t kRestarts = 1;
// How often the worker looks whether the asking thread has moved on.
constexpr unsigned long kPollMs = 50;

// What the asking thread and the waiting worker share, under its lock; the
// last of them to let go frees it.
struct Conversation {
    // False once the worker has stopped waiting; otherwise counts a step.
    bool Proceed() {
        platform::ScopedLock hold(*lock);
        if (abandoned) return false;
        ++steps;
        return true;
    }

    std::unique_ptr<platform::Lock> lock = Os().CreateLock();
    unsigned steps = 0;
    bool protectionOn = false;  // a status of 1 was read
    bool abandoned = false;
    std::optional<Suspension> answer;
};

std::optional<std::int32_t> IntegerOf(const platform::Variant& value) {
    if (value.type != platform::Variant::Type::Other ||
        value.otherType != platform::Variant::kVtI4) {
        return std::nullopt;
    }
    return value.integer;
}

// The drive of the Windows folder, as "C:"; empty when unknown.
std::u16string SystemDrive() {
    std::string windows;
    if (Os().SHGetFolderPathA(win::CSIDL_WINDOWS, win::SHGFP_TYPE_CURRENT, windows) < 0 ||
        windows.size() < 2 || windows[1] != ':') {
        return std::u16string();
    }
    return Os().Utf16FromAnsi(windows.substr(0, 2));
}

// The outputs asked for; nullopt when the call fails or its ReturnValue is
// not 0.
std::optional<platform::WmiValues> Call(sysinfo::WmiSession& session, const std::u16string& volume,
                                        const std::u16string& method,
                                        const platform::WmiValues& inputs,
                                        platform::WmiValues outputs) {
    outputs.emplace(kReturnValue, platform::Variant());
    if (session.Call(kVolumeClass, volume, method, inputs, outputs) < 0 ||
        IntegerOf(outputs[kReturnValue]) != 0) {
        return std::nullopt;
    }
    return outputs;
}

std::optional<std::int32_t> ProtectionStatus(sysinfo::WmiSession& session,
                                             const std::u16string& volume) {
    std::optional<platform::WmiValues> answer =
        Call(session, volume, u"GetProtectionStatus", {}, {{kProtectionStatus, {}}});
    return answer ? IntegerOf((*answer)[kProtectionStatus]) : std::nullopt;
}

// Each step first asks the conversation whether to go on. Where the method
// has no DisableCount a suspension would last until resumed by hand: the
// call fails unmade.
Suspension Converse(Conversation& conversation) {
    const std::u16string drive = SystemDrive();
    sysinfo::WmiSession session(static_cast<long>(kWmiStepLimitMs));
    if (drive.empty() || !conversation.Proceed() || !session.Connect(kNamespace)) {
        return Suspension::NotNeeded;
    }
    std::optional<std::u16string> volume;
    if (conversation.Proceed()) volume = session.FindInstance(kVolumeClass, u"DriveLetter", drive);
    std::optional<std::int32_t> status;
    if (volume && conversation.Proceed()) status = ProtectionStatus(session, *volume);
    if (status != kProtectionOn) return Suspension::NotNeeded;
    {
        platform::ScopedLock hold(*conversation.lock);
        conversation.protectionOn = true;
    }
    status.reset();
    if (conversation.Proceed() &&
        Call(session, *volume, u"DisableKeyProtectors",
             {{u"DisableCount", platform::Variant::Integer(kRestarts)}}, {}) &&
        conversation.Proceed()) {
        status = ProtectionStatus(session, *volume);
    }
    return status == kProtectionOff ? Suspension::Suspended : Suspension::Failed;
}

// The asking thread: enters the multithreaded apartment, converses, leaves.
void Ask(void* argument) {
    const std::unique_ptr<std::shared_ptr<Conversation>> held(
        static_cast<std::shared_ptr<Conversation>*>(argument));
    Conversation& conversation = **held;
    Suspension answer = Suspension::NotNeeded;
    if (Os().CoInitializeMultithreaded() >= 0) {
        answer = Converse(conversation);
        Os().CoUninitialize();
    }
    platform::ScopedLock hold(*conversation.lock);
    conversation.answer = answer;
}

// A step without an answer in time ends the wait; the asking thread stops
// at its next step.
Suspension WaitForAnswer(Conversation& conversation) {
    unsigned seen = 0;
    unsigned long quietMs = 0;
    for (;;) {
        {
            platform::ScopedLock hold(*conversation.lock);
            if (conversation.answer) return *conversation.answer;
            if (conversation.steps != seen) {
                seen = conversation.steps;
                quietMs = 0;
            } else if (quietMs >= kWmiStepLimitMs) {
                conversation.abandoned = true;
                return conversation.protectionOn ? Suspension::Failed : Suspension::NotNeeded;
            }
        }
        Os().Sleep(kPollMs);
        quietMs += kPollMs;
    }
}

}  // namespace

Suspension SuspendBitLockerForOneRestart() {
    auto conversation = std::make_shared<Conversation>();
    auto* argument = new std::shared_ptr<Conversation>(conversation);
    if (!Os().StartThread(&Ask, argument)) {
        delete argument;
        return Suspension::NotNeeded;
    }
    return WaitForAnswer(*conversation);
}

}  // namespace update
