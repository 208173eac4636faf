#include "reader/TCompressedSource.h"

#include <algorithm>
#include <cstring>

#include "reader/TArchiveDecoder.h"
#include "reader/TArchiveFilter.h"
#include "reader/TBzip2Decoder.h"
#include "reader/TGzipDecoder.h"
#include "reader/TIsalGzipDecoder.h"
#include "reader/TLz4Decoder.h"
#include "reader/TXzDecoder.h"
#include "reader/TZstdDecoder.h"
#include "reader/TudaFormat.h"

namespace {

// Each slot holds several blocks, so that the threads hand over, and wake each other, once per
// slot rather than once per block, and the decoder is asked for large pieces at a time. Four
// slots ride out the two threads' uneven pace: 1 MiB in all.
constexpr size_t kBlocksPerSlot = 8;
constexpr size_t kRingSlots = 4;
constexpr size_t kSlotBytes = kBlocksPerSlot * TEGBlockSize;

#ifdef TUDA_ISAL
// ISA-L where the build has it, faster than zlib and giving what zlib gives.
using TGzipDecoderOfBuild = TIsalGzipDecoder;
#else
using TGzipDecoderOfBuild = TGzipDecoder;
#endif

// Each codec's own library, which checks what the archive library does not, streams without its
// copies and gives out all it decoded before damage; the archive library for legacy lz4.
std::unique_ptr<TDecoder> MakeDecoder(TRawInput& input, TCodec codec, unsigned zstdWindowLog)
{
  switch (codec) {
    case TCodec::kGzip:
      return std::make_unique<TGzipDecoderOfBuild>(input);
    case TCodec::kBzip2:
      return std::make_unique<TBzip2Decoder>(input);
    case TCodec::kXz:
      return std::make_unique<TXzDecoder>(input);
    case TCodec::kZstd:
      return std::make_unique<TZstdDecoder>(input, zstdWindowLog);
    default:
      if (IsLz4Frame(input.FirstBytes(), input.FirstCount())) return std::make_unique<TLz4Decoder>(input);
      return std::make_unique<TArchiveDecoder>(input, ArchiveFilterOf(codec));
  }
}

}  // namespace

TCompressedSource::TCompressedSource(TRawInput& input, TCodec codec, unsigned zstdWindowLog)
    : fDecoder(MakeDecoder(input, codec, zstdWindowLog)),
      fSlots(new char[kRingSlots * kSlotBytes]),
      fSlotCounts(new size_t[kRingSlots]()),
      fHelper(&TCompressedSource::Produce, this)
{
}

TCompressedSource::~TCompressedSource()
{
  {
    const std::lock_guard<std::mutex> lock(fMutex);
    fStop = true;
  }
  fSlotFreed.notify_one();
  fHelper.join();
}

char* TCompressedSource::Slot(size_t index) const
{
  return fSlots.get() + index * kSlotBytes;
}

void TCompressedSource::Produce()
{
  uint64_t decoded = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(fMutex);
      fSlotFreed.wait(lock, [this] { return fStop || fFilled < kRingSlots; });
      if (fStop) return;
    }
    const size_t count = fDecoder->Decode(Slot(fNextToFill), kSlotBytes);
    decoded += count;
    const bool last = count < kSlotBytes;
    {
      const std::lock_guard<std::mutex> lock(fMutex);
      fSlotCounts[fNextToFill] = count;
      ++fFilled;
      if (last) {
        fFailure = fDecoder->Failure();
        fFailureOffset = decoded;
        fNeededWindowLog = fDecoder->NeededWindowLog();
        fPaddingBytes = fDecoder->PaddingBytes();
      }
    }
    fSlotFilled.notify_one();
    if (last) return;
    fNextToFill = (fNextToFill + 1) % kRingSlots;
  }
}

void TCompressedSource::TakeFilledSlot()
{
  std::unique_lock<std::mutex> lock(fMutex);
  fSlotFilled.wait(lock, [this] { return fFilled > 0; });
  fHoldingSlot = true;
  fTakenOffset = 0;
}

void TCompressedSource::FreeSlot()
{
  {
    const std::lock_guard<std::mutex> lock(fMutex);
    --fFilled;
  }
  fSlotFreed.notify_one();
  fHoldingSlot = false;
  fNextToTake = (fNextToTake + 1) % kRingSlots;
}

size_t TCompressedSource::Read(char* buffer, size_t size)
{
  size_t count = 0;
  while (count < size) {
    if (!fHoldingSlot) TakeFilledSlot();
    const size_t filled = fSlotCounts[fNextToTake];
    const size_t n = std::min(size - count, filled - fTakenOffset);
    std::memcpy(buffer + count, Slot(fNextToTake) + fTakenOffset, n);
    count += n;
    fTakenOffset += n;
    if (fTakenOffset < filled) continue;
    if (filled < kSlotBytes) break;
    FreeSlot();
  }
  return count;
}
