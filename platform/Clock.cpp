#include "platform/Clock.h"

#include <atomic>
#include <cstdlib>
#include <thread>

namespace platform {
namespace {

double ReadScaleFromEnvironment() {
    const char* text = std::getenv("VTARN_TIME_SCALE");
    if (text == nullptr || *text == '\0') {
        return 1.0;
    }
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0.0) || value > 1e6) {
        return 1.0;
    }
    return value;
}

std::atomic<double>& ScaleSetting() {
    static std::atomic<double> scale{ReadScaleFromEnvironment()};
    return scale;
}

const std::chrono::steady_clock::time_point g_processStart = std::chrono::steady_clock::now();

} // namespace

double TimeScale() { return ScaleSetting().load(); }

void SetTimeScale(double factor) {
    if (factor > 0.0) {
        ScaleSetting().store(factor);
    }
}

std::chrono::steady_clock::duration ScaledDuration(DWORD milliseconds) {
    using Duration = std::chrono::steady_clock::duration;
    if (milliseconds == INFINITE) {
        return Duration::max() / 2; // room for time_point arithmetic without overflow
    }
    std::chrono::duration<double, std::milli> scaled(static_cast<double>(milliseconds) * TimeScale());
    return std::chrono::duration_cast<Duration>(scaled);
}

std::chrono::steady_clock::time_point DeadlineAfter(DWORD milliseconds) {
    return std::chrono::steady_clock::now() + ScaledDuration(milliseconds);
}

} // namespace platform

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(platform::ScaledDuration(milliseconds)); }

DWORD GetTickCount() {
    std::chrono::duration<double, std::milli> real = std::chrono::steady_clock::now() - platform::g_processStart;
    return static_cast<DWORD>(static_cast<std::uint64_t>(real.count() / platform::TimeScale()));
}
