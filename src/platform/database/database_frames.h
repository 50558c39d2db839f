#pragma once
// The stream in which the database reader (tessaly-mdb-reader, a program of
// its own) hands a table to the database component. Every message is a
// frame: a one-byte tag, the payload length as a little-endian 32-bit count,
// then the payload. Texts travel with their length, so any byte may occur in
// them.
//
//   'H' ready:   version (u32), records the table declares (u32); sent once
//                the database, the table and every field have been found
//   'R' record:  per field, in the order the fields were asked for, the
//                length (u32) and the bytes of its text
//   'E' end:     records sent (u32); nothing follows
//   'X' failure: what went wrong, as text for the user; nothing follows
//
// A reader started with --serve reads requests on its standard input, a
// socket, and answers each with the frames above:
//   'Q' request: processor seconds (u32) and megabytes of address space
//                (u32) the load may take, then the table and each field as
//                length (u32) and bytes; the database comes as a descriptor
//                (SCM_RIGHTS) on the request's first byte
// Version 2: the database travels as a descriptor, no longer as a name.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files/byte_order.h"

namespace tessaly::frames {

constexpr char kReady = 'H';
constexpr char kRecord = 'R';
constexpr char kEnd = 'E';
constexpr char kFailure = 'X';
constexpr char kRequest = 'Q';

constexpr uint32_t kVersion = 2;
constexpr size_t kHeaderSize = 5;
// No frame is larger: a length beyond it means the stream is garbage.
constexpr uint32_t kMaxPayload = 64u << 20;

inline void AppendU32(std::string& out, uint32_t v) { AppendLe(out, v, 4); }

// The count at byte AT of BYTES (which must hold four bytes there).
inline uint32_t U32(std::string_view bytes, size_t at) { return LeUint32(bytes.data() + at); }

// A text as its length (u32) and its bytes.
inline void AppendText(std::string& out, std::string_view text)
{
    AppendU32(out, static_cast<uint32_t>(text.size()));
    out.append(text);
}

// The text at byte AT of PAYLOAD into OUT, AT moved past it; false when
// PAYLOAD ends before the text does.
inline bool NextText(std::string_view payload, size_t& at, std::string& out)
{
    if (payload.size() - at < 4) return false;
    const uint32_t len = U32(payload, at);
    if (payload.size() - at - 4 < len) return false;
    out.assign(payload.data() + at + 4, len);
    at += 4 + len;
    return true;
}

inline void AppendFrame(std::string& out, char tag, std::string_view payload)
{
    out += tag;
    AppendU32(out, static_cast<uint32_t>(payload.size()));
    out.append(payload);
}

}  // namespace tessaly::frames
