// The smart fan as the soak expects it.
#include "soak/fan_model.h"

namespace vigilon::soak {

namespace {
// Per channel: sensor, fan, duty register, then rise 1-3 and fall 1-3 in degrees Celsius.
using C = FanModel::Channel;
constexpr C kNone{-1, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<C, 3> kZr420{{{0, 1, 0x5B, 14, 16, 18, 13, 15, 17},
                                   {1, 2, 0, 15, 20, 25, 13, 18, 23},
                                   {2, 3, 0x5F, 14, 16, 18, 13, 15, 17}}};
constexpr std::array<C, 3> kZr460{
    {{0, 1, 0x5A, 14, 16, 18, 13, 15, 17}, {1, 2, 0x5B, 15, 20, 25, 13, 18, 23}, kNone}};
constexpr std::array<C, 3> kZr430{{{1, 1, 0x5A, 27, 29, 31, 26, 28, 30},
                                   {0, 2, 0x5B, 27, 29, 31, 26, 28, 30},
                                   {2, 3, 0, 29, 31, 33, 28, 30, 32}}};
}  // namespace

FanModel::FanModel(sim::Model model) {
  switch (model) {
    case sim::Model::ZR410:
      outputBits_ = true;
      channels_ = {kNone, kNone, kNone};
      break;
    case sim::Model::ZR420:
      channels_ = kZr420;
      break;
    case sim::Model::ZR430:
      channels_ = kZr430;
      break;
    case sim::Model::ZR460:
      channels_ = kZr460;
      break;
  }
}

void FanModel::Started(bool chipPoweredUp) {
  for (const Channel& c : channels_) {
    if (c.sensor < 0) continue;
    if (state_[static_cast<size_t>(c.fan)].off) RestoreRow(c.fan - 1);
    state_[static_cast<size_t>(c.fan)] = {};
  }
  if (chipPoweredUp) stoppedSinceRestored_.fill(true);
  outputs_ = Outputs::AsStarted;
}

void FanModel::FansStopped(const std::array<bool, 3>& stopped) {
  stopped_ = stopped;
  for (size_t f = 0; f < stopped.size(); ++f)
    if (stopped[f]) stoppedSinceRestored_[f] = true;
}

void FanModel::Release(const ItemFlags& enabled) {
  if (outputBits_) {
    if (enabled[12] != 1 && outputs_ == Outputs::Off) {
      outputs_ = Outputs::On;
      RestoreRow(kOutputsRow);
    }
    return;
  }
  for (const Channel& c : channels_) {
    if (c.sensor < 0) continue;
    Fan& f = state_[static_cast<size_t>(c.fan)];
    const bool steered = enabled[static_cast<size_t>(12 + c.sensor)] == 1 &&
                         enabled[static_cast<size_t>(8 + c.fan)] == 1;
    if (steered || f.state != 1) continue;
    f = {};
    RestoreRow(c.fan - 1);
  }
}

FanModel::Outputs FanModel::Step(const ItemFlags& enabled, const std::array<double, 3>& degrees,
                                 double low) {
  if (outputBits_) {
    if (enabled[12] != 1) return Outputs::AsStarted;
    const double t = degrees[0];
    if (t > low + 5) {
      outputs_ = Outputs::On;
      RestoreRow(kOutputsRow);
      return outputs_;
    }
    if (t < low) {
      outputs_ = Outputs::Off;
      return outputs_;
    }
    return Outputs::AsStarted;
  }
  for (const Channel& c : channels_) {
    if (c.sensor < 0) continue;
    if (enabled[static_cast<size_t>(12 + c.sensor)] != 1 ||
        enabled[static_cast<size_t>(8 + c.fan)] != 1)
      continue;
    const double t = degrees[static_cast<size_t>(c.sensor)];
    Fan& f = state_[static_cast<size_t>(c.fan)];
    auto switchOff = [&] {
      f.off = true;
      f.state = 1;
    };
    switch (f.state) {
      case 0:  // the first step switches a cold fan off; a warm one stays as the start left it
        if (t < c.rise1) switchOff();
        f.state = 1;
        break;
      case 1:
        if (t >= c.rise1) f = {5, false};
        break;
      case 2:
        if (t >= c.rise2) f.state = 3;
        if (t <= c.fall1) switchOff();
        break;
      case 3:
        if (t >= c.rise3) f.state = 4;
        if (t <= c.fall2) f.state = 2;
        break;
      case 4:
        if (t <= c.fall3) f.state = 3;
        break;
      case 5:  // the limit follows the duty one cycle later
        f.state = 2;
        RestoreRow(c.fan - 1);
        break;
      default:
        break;
    }
  }
  return Outputs::AsStarted;
}

}  // namespace vigilon::soak
