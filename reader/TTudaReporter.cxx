#include "reader/TTudaReporter.h"

#include <iostream>

#include "reader/BlockEndMessages.h"
#include "reader/TTudaData.h"

void TTudaReporter::Dropped(const TTudaDrop& drop, const TTudaData& reader)
{
  WriteReaderLine(drop, reader);
}

void TTudaReporter::WriteReaderLine(const TTudaDrop& drop, const TTudaData& reader)
{
  switch (drop.cause) {
    case TTudaCause::kUnknownGroup:
      std::cerr << "FormatData: ERROR - Unknown data group " << std::dec << drop.group
                << ", skipping simple data-item, at " << drop.word << ", " << reader.fHeader.fDataLength / 2
                << std::endl;
      break;
    case TTudaCause::kGroupItem:
      std::cerr << "FormatData: ERROR - group data is unused at TUDA" << std::endl;
      break;
    case TTudaCause::kExtendedGroupItem:
      std::cout << "DecodeEvents: EGI data is currently unsupported" << std::endl;
      break;
    case TTudaCause::kTokenPastBlockEnd:
      WriteTokenPastEnd("DecodeEvents", drop.word, "skipping the rest of the block");
      break;
    case TTudaCause::kNoEndOfBlockMarker:
      WriteNoEndMarker("DecodeEvents", drop.word, "going on with the next block");
      break;
    case TTudaCause::kBeyondSets:
    case TTudaCause::kAfterDataLength:
    case TTudaCause::kPaddingAfterDataLength:
      break;
  }
}
