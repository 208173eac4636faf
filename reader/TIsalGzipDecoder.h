#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "reader/TStreamDecoder.h"
#include "reader/TZlibInflater.h"

struct inflate_state;

// Decodes gzip data, member after member, through ISA-L, which checks every member's CRC-32 and
// length as zlib does at about twice its speed. What it gives, sound or damaged, is what the zlib
// decoder gives, byte for byte, with the same damage line: a member that ISA-L finds damaged, or
// that the data end inside, is read once more by zlib from its first byte, which passes over the
// bytes ISA-L already gave and gives what it decodes beyond them and its own words for the damage;
// zlib then reads the rest of the file. A file is read again from the member's first byte; input
// that cannot be sought (a pipe, a device) has each member's compressed bytes kept as they are
// read, up to kKeptBytesMost of them. The one limit: in such input, damage found beyond that in a
// member ends the data where ISA-L stops, told in zlib's nearest words.
class TIsalGzipDecoder : public TStreamDecoder {
 public:
  // Raw bytes read at a time: ISA-L decodes fastest given much at once.
  static constexpr size_t kIsalInputBytes = size_t{1} << 20;
  // A member's compressed bytes kept for zlib's second reading, at most: the system zeroes each
  // page kept, which on more than this costs a tenth of the decoding time.
  static constexpr size_t kKeptBytesMost = size_t{16} << 20;

  explicit TIsalGzipDecoder(TRawInput& input);
  ~TIsalGzipDecoder() override;
  TIsalGzipDecoder(const TIsalGzipDecoder&) = delete;
  TIsalGzipDecoder& operator=(const TIsalGzipDecoder&) = delete;

 private:
  bool Step(const char*& in, const char* inEnd, char*& out, char* outEnd) override;
  bool StepIsal(const char*& in, const char* inEnd, char*& out, char* outEnd);
  bool ReservedFlagsAhead(const char* in, const char* inEnd) const;
  void Keep(const char* taken, size_t count);
  void StartMember();
  bool HandOver(const char*& in, const char* inEnd, char*& out, char* outEnd);
  bool Reread(const char*& in, const char* inEnd, char*& out, char* outEnd);
  bool StepZlib(const char*& in, const char* inEnd, char*& out, char* outEnd);

  std::unique_ptr<inflate_state> fState;
  // The member in hand: its first raw byte, its compressed bytes taken so far, kept while
  // fKeeping, and the bytes given. The room for kept bytes is mapped once, for input that cannot
  // be sought only, in huge pages where the system allows: faults of small pages, page after page
  // of a large member, would cost a third of the decoding time.
  char* const fKept;
  size_t fKeptCount = 0;
  bool fKeeping = false;
  uint64_t fMemberStart = 0;
  uint64_t fMemberTaken = 0;
  uint64_t fMemberGiven = 0;
  // zlib, from the damaged member on: the kept bytes it has read, and the bytes it is yet to
  // pass over, decoded into fSkipped.
  std::unique_ptr<TZlibInflater> fZlib;
  size_t fRereadNext = 0;
  uint64_t fToSkip = 0;
  std::unique_ptr<char[]> fSkipped;
};
