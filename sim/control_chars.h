#pragma once

namespace sim {

// The control characters of the wire protocol.
inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr char kAck = '\x06';
inline constexpr char kBel = '\x07';
inline constexpr char kCr = '\r';
inline constexpr char kNak = '\x15';

}  // namespace sim
