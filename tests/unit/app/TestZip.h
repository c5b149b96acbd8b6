// Builds small ZIP archives in memory for the archive tests (stored or deflated entries).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace QvTest {

struct ZipEntry {
  std::string name;
  std::string data;
  bool deflate = false;
  bool corruptCrc = false;  // store a wrong CRC, as a damaged archive would
};

namespace ZipDetail {
inline void Put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>(v >> 8);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xffff));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
inline std::string RawDeflate(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}
}  // namespace ZipDetail

// Names are stored as given, with the UTF-8 flag set.
inline std::string MakeZip(const std::vector<ZipEntry>& entries) {
  using namespace ZipDetail;
  std::string out;
  std::string central;
  for (const ZipEntry& entry : entries) {
    const std::string body = entry.deflate ? RawDeflate(entry.data) : entry.data;
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
    if (entry.corruptCrc) crc ^= 0x5a5a5a5a;
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint16_t method = entry.deflate ? 8 : 0;
    const bool directory = !entry.name.empty() && entry.name.back() == '/';
    auto common = [&](std::string& s) {
      Put16(s, 20);      // version needed
      Put16(s, 0x0800);  // UTF-8 names
      Put16(s, method);
      Put16(s, 0);     // time
      Put16(s, 0x21);  // date: 1980-01-01
      Put32(s, crc);
      Put32(s, static_cast<uint32_t>(body.size()));
      Put32(s, static_cast<uint32_t>(entry.data.size()));
      Put16(s, static_cast<uint16_t>(entry.name.size()));
      Put16(s, 0);  // extra length
    };
    Put32(out, 0x04034b50);
    common(out);
    out += entry.name;
    out += body;

    Put32(central, 0x02014b50);
    Put16(central, 20);  // version made by
    common(central);
    Put16(central, 0);  // comment length
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, directory ? 0x10 : 0x20);
    Put32(central, offset);
    central += entry.name;
  }
  const uint32_t centralOffset = static_cast<uint32_t>(out.size());
  out += central;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint16_t>(entries.size()));
  Put16(out, static_cast<uint16_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, centralOffset);
  Put16(out, 0);
  return out;
}

}  // namespace QvTest
