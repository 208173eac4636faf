#include "reader/TIsalGzipDecoder.h"

#include <isa-l/igzip_lib.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>

namespace {

// zlib decodes the bytes it passes over into a buffer of this size.
constexpr size_t kSkippedBytes = size_t{1} << 16;

// A member header's flag byte, and its bits that no gzip version sets: zlib refuses them, ISA-L
// does not look.
constexpr size_t kFlagsByte = 3;
constexpr unsigned char kReservedFlags = 0xe0;

// zlib's words for what ISA-L found, where only ISA-L read the damage.
const char* ZlibWordsFor(int status)
{
  switch (status) {
    case ISAL_INVALID_BLOCK:
      return "invalid block type";
    case ISAL_INVALID_SYMBOL:
      return "invalid literal/length code";
    case ISAL_INVALID_LOOKBACK:
      return "invalid distance too far back";
    case ISAL_INVALID_WRAPPER:
      return "incorrect header check";
    case ISAL_UNSUPPORTED_METHOD:
      return "unknown compression method";
    case ISAL_INCORRECT_CHECKSUM:
      return "incorrect data check";
    default:
      return "invalid deflate data";
  }
}

// All the room for kept bytes at once, so never a copy as a member grows; the system gives memory
// only as it is written, as far as the largest member reaches. Null when it cannot be had: ISA-L's
// own stops stand then.
char* MapKeptRoom()
{
  void* const room = mmap(nullptr, TIsalGzipDecoder::kKeptBytesMost, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (room == MAP_FAILED) return nullptr;
  madvise(room, TIsalGzipDecoder::kKeptBytesMost, MADV_HUGEPAGE);
  return static_cast<char*>(room);
}

}  // namespace

TIsalGzipDecoder::TIsalGzipDecoder(TRawInput& input)
    : TStreamDecoder(input, "member", true, kIsalInputBytes),
      fState(std::make_unique<inflate_state>()),
      fKept(InputRewindable() ? nullptr : MapKeptRoom())
{
  isal_inflate_init(fState.get());
  StartMember();
}

TIsalGzipDecoder::~TIsalGzipDecoder()
{
  if (fKept != nullptr) munmap(fKept, kKeptBytesMost);
}

bool TIsalGzipDecoder::Step(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  return fZlib ? Reread(in, inEnd, out, outEnd) : StepIsal(in, inEnd, out, outEnd);
}

void TIsalGzipDecoder::StartMember()
{
  isal_inflate_reset(fState.get());
  fState->crc_flag = ISAL_GZIP;
  fKeptCount = 0;
  fKeeping = fKept != nullptr;
  fMemberStart += fMemberTaken;
  fMemberTaken = 0;
  fMemberGiven = 0;
}

void TIsalGzipDecoder::Keep(const char* taken, size_t count)
{
  fMemberTaken += count;
  if (!fKeeping) return;
  if (count > kKeptBytesMost - fKeptCount) {
    fKeeping = false;
    return;
  }
  std::memcpy(fKept + fKeptCount, taken, count);
  fKeptCount += count;
}

// Whether the input holds the member's flag byte with flags that zlib refuses.
bool TIsalGzipDecoder::ReservedFlagsAhead(const char* in, const char* inEnd) const
{
  if (fMemberTaken > kFlagsByte || static_cast<size_t>(inEnd - in) <= kFlagsByte - fMemberTaken) return false;
  return (static_cast<unsigned char>(in[kFlagsByte - fMemberTaken]) & kReservedFlags) != 0;
}

bool TIsalGzipDecoder::StepIsal(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  if (ReservedFlagsAhead(in, inEnd)) return HandOver(in, inEnd, out, outEnd);
  fState->next_in = reinterpret_cast<uint8_t*>(const_cast<char*>(in));
  fState->avail_in = static_cast<uint32_t>(inEnd - in);
  fState->next_out = reinterpret_cast<uint8_t*>(out);
  fState->avail_out = static_cast<uint32_t>(outEnd - out);
  char* const stepOut = out;
  const int status = isal_inflate(fState.get());
  const char* const taken = reinterpret_cast<const char*>(fState->next_in);
  char* const given = reinterpret_cast<char*>(fState->next_out);
  // Called with no input only once the data have ended: a member begun then is cut off.
  const bool cut = in == inEnd && given == out && fMemberTaken > 0;
  Keep(in, static_cast<size_t>(taken - in));
  fMemberGiven += static_cast<uint64_t>(given - out);
  in = taken;
  out = given;
  if (status == ISAL_DECOMP_OK && fState->block_state == ISAL_BLOCK_FINISH) {
    StartMember();
    return true;
  }
  if (status >= ISAL_DECOMP_OK && !cut) return false;
  if (fKeeping || InputRewindable()) {
    // ISA-L lets some damage through that zlib stops at, and gives bytes beyond it: those of this
    // step are not handed on yet, and zlib decodes them again or stops before them.
    fMemberGiven -= static_cast<uint64_t>(out - stepOut);
    out = stepOut;
    return HandOver(in, inEnd, out, outEnd);
  }
  // Beyond the kept bytes a cut is told by the frame loop, as the data ending inside a member.
  if (status < ISAL_DECOMP_OK) Fail(ZlibWordsFor(status));
  return false;
}

// zlib takes the member over from its first byte: a file is read again from there, other input
// from the kept bytes and then on.
bool TIsalGzipDecoder::HandOver(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  fZlib = std::make_unique<TZlibInflater>();
  fSkipped.reset(new char[kSkippedBytes]);
  fToSkip = fMemberGiven;
  if (!fKeeping && Rewind(fMemberStart)) return false;
  return Reread(in, inEnd, out, outEnd);
}

// zlib reads the member's kept bytes first, then the input.
bool TIsalGzipDecoder::Reread(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  while (fRereadNext < fKeptCount) {
    const char* next = fKept + fRereadNext;
    char* const before = out;
    const bool ended = StepZlib(next, fKept + fKeptCount, out, outEnd);
    fRereadNext = static_cast<size_t>(next - fKept);
    if (ended || Failed() || out != before || out == outEnd) return ended;
  }
  return StepZlib(in, inEnd, out, outEnd);
}

// One zlib step, into fSkipped while bytes that ISA-L gave remain to be passed over.
bool TIsalGzipDecoder::StepZlib(const char*& in, const char* inEnd, char*& out, char* outEnd)
{
  bool ended = false;
  if (fToSkip > 0) {
    char* skipped = fSkipped.get();
    ended = fZlib->Step(in, inEnd, skipped, skipped + std::min<uint64_t>(fToSkip, kSkippedBytes));
    fToSkip -= static_cast<uint64_t>(skipped - fSkipped.get());
  } else {
    ended = fZlib->Step(in, inEnd, out, outEnd);
  }
  if (!fZlib->Failure().empty()) Fail(fZlib->Failure());
  return ended;
}
