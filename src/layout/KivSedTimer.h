// Time and timers for the core: a monotonic clock in milliseconds, and repeating or single-shot
// timers that a host runs from its event loop and that tick back into the core. Tests step both
// by hand (TKivManualClock, TKivManualTimer).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

// Milliseconds of a clock that never goes back (its zero is arbitrary).
class IKivMonotonicClock {
 public:
  virtual ~IKivMonotonicClock() = default;
  virtual int64_t NowMs() const = 0;
};

// The process's steady clock.
class TKivSteadyClock final : public IKivMonotonicClock {
 public:
  int64_t NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  static const TKivSteadyClock& Instance() {
    static const TKivSteadyClock clock;
    return clock;
  }
};

// A clock that moves only when told.
class TKivManualClock final : public IKivMonotonicClock {
 public:
  explicit TKivManualClock(int64_t ANow = 1000) : FNow(ANow) {}
  int64_t NowMs() const override { return FNow; }
  void Advance(int64_t AMs) { FNow += AMs; }
  void Set(int64_t ANow) { FNow = ANow; }

 private:
  int64_t FNow;
};

// A timer of the host. While active, OnTick runs from the host's event loop every interval; a
// single-shot timer is inactive again when its tick runs. Start restarts a running timer.
class IKivTimer {
 public:
  virtual ~IKivTimer() = default;
  virtual void Start(int AIntervalMs, bool ASingleShot = false) = 0;
  virtual void Stop() = 0;
  virtual bool Active() const = 0;
  virtual int Interval() const = 0;
  std::function<void()> OnTick;
};

// A timer that ticks only when Tick is called: what a host without an event loop hands out, and
// the tests' timer.
class TKivManualTimer final : public IKivTimer {
 public:
  void Start(int AIntervalMs, bool ASingleShot = false) override {
    FInterval = AIntervalMs;
    FSingleShot = ASingleShot;
    FActive = true;
    ++FStarts;
  }
  void Stop() override { FActive = false; }
  bool Active() const override { return FActive; }
  int Interval() const override { return FInterval; }
  int Starts() const { return FStarts; }
  // Runs one tick when active; false when the timer was not.
  bool Tick() {
    if (!FActive) return false;
    if (FSingleShot) FActive = false;
    if (OnTick) OnTick();
    return true;
  }

 private:
  int FInterval = 0;
  int FStarts = 0;
  bool FActive = false;
  bool FSingleShot = false;
};

// Where timers and the clock come from (the view host is one).
class IKivTimerHost {
 public:
  virtual ~IKivTimerHost() = default;
  // A new, inactive timer; the default ticks only when told.
  virtual std::unique_ptr<IKivTimer> CreateTimer() { return std::make_unique<TKivManualTimer>(); }
  virtual const IKivMonotonicClock& Clock() const { return TKivSteadyClock::Instance(); }
};
