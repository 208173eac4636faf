#include "reader/TTudaReporter.h"

#include "reader/BlockEndMessages.h"
#include "reader/TTudaData.h"

uint64_t TTudaBlockAccount::SimpleItems(GroupKind kind) const
{
  uint64_t items = 0;
  for (unsigned group = 0; group < kGroupNumbers; ++group) {
    if (KindOfGroup(group) == kind) items += simpleItemsPerGroup[group];
  }
  return items;
}

void TTudaReporter::Dropped(const TTudaDrop& drop, const TTudaData& reader)
{
  WriteReaderLine(drop, reader);
}

void TTudaReporter::WriteReaderLine(const TTudaDrop& drop, const TTudaData& reader)
{
  switch (drop.cause) {
    case TTudaCause::kUnknownGroup:
      reader.Errors() << "FormatData: ERROR - Unknown data group " << std::dec << drop.group
                << ", skipping simple data-item, at " << drop.word << ", " << reader.DataLengthWords()
                << std::endl;
      break;
    case TTudaCause::kGroupItem:
      reader.Errors() << "FormatData: ERROR - group data is unused at TUDA" << std::endl;
      break;
    case TTudaCause::kExtendedGroupItem:
      reader.Output() << "DecodeEvents: EGI data is currently unsupported" << std::endl;
      break;
    case TTudaCause::kTokenPastBlockEnd:
      WriteTokenPastEnd(reader.Errors(), "DecodeEvents", drop.word, "skipping the rest of the block");
      break;
    case TTudaCause::kNoEndOfBlockMarker:
      WriteNoEndMarker(reader.Errors(), "DecodeEvents", drop.word, "going on with the next block");
      break;
    case TTudaCause::kBeyondSets:
    case TTudaCause::kAfterDataLength:
    case TTudaCause::kPaddingAfterDataLength:
      break;
  }
}

bool TTudaReporter::WritesLine(TTudaCause cause)
{
  return cause != TTudaCause::kBeyondSets && cause != TTudaCause::kAfterDataLength &&
         cause != TTudaCause::kPaddingAfterDataLength;
}
