#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "flow/FlowEvent.h"
#include "flow/FlowProperty.h"
#include "flow/KXBase.h"
#include "flow/kx_type.h"

namespace {

// The node's four properties, as its run loop registers them.
const std::vector<std::string> kNodeProperties = {"ADCChannel", "ADCValue", "TDCChannel",
                                                  "TDCValue"};

class FlowEventTest : public ::testing::Test {
 protected:
  static std::string Listing(FlowEvent& event) {
    std::ostringstream text;
    text << event;
    return text.str();
  }

  static std::string Rendering(const FlowProperty& property) {
    std::ostringstream text;
    text << property;
    return text.str();
  }

  template <typename T>
  static std::string Rendering(kx_type type, T& value) {
    return Rendering(FlowProperty(type, FlowBinning(), &value));
  }

  template <typename T>
  static std::string VectorText(std::vector<T> values) {
    std::ostringstream text;
    VectorToStream(values, text);
    return text.str();
  }

  static std::string BinningText(const FlowBinning& binning) {
    std::ostringstream text;
    text << binning;
    return text.str();
  }

  // The node's event after its set-up: four unsigned 16-bit vectors read as tag 20.
  void RegisterNodeProperties() {
    std::vector<uint16_t>* vectors[] = {&adcChannel, &adcValue, &tdcChannel, &tdcValue};
    for (size_t i = 0; i < kNodeProperties.size(); ++i) {
      event[kNodeProperties[i]] = FlowProperty(kx_vshort, FlowBinning(), vectors[i]);
    }
  }

  FlowEvent event;
  std::vector<uint16_t> adcChannel;
  std::vector<uint16_t> adcValue;
  std::vector<uint16_t> tdcChannel;
  std::vector<uint16_t> tdcValue;
};

// ---- Container ---------------------------------------------------------------------------

TEST_F(FlowEventTest, NewEventIsEmptyWithSetupLowered) {
  EXPECT_TRUE(event.empty());
  EXPECT_FALSE(event.setup);
  EXPECT_EQ(Listing(event), "");
  EXPECT_EQ(event.str(), "");
}

TEST_F(FlowEventTest, MissingNameInsertsUnsetEntryListedAsNameOnly) {
  FlowProperty& entry = event["Missing"];
  EXPECT_EQ(entry.type, kx_unset);
  EXPECT_EQ(entry.value, nullptr);
  EXPECT_EQ(event.size(), 1u);
  EXPECT_EQ(Listing(event), "Missing:\t\n");
  event.setup = true;
  EXPECT_EQ(Listing(event), "Missing:\t\n");
}

TEST_F(FlowEventTest, EntryReferenceSurvivesFurtherInsertions) {
  FlowProperty* first = &event["M"];
  for (const std::string& name : kNodeProperties) event[name];
  EXPECT_EQ(first, &event["M"]);
}

TEST_F(FlowEventTest, ResetEmptiesEventAndLowersSetup) {
  event["A"];
  event.setup = true;
  event.Reset();
  EXPECT_TRUE(event.empty());
  EXPECT_FALSE(event.setup);
}

TEST_F(FlowEventTest, SetBinningsKeepsEntriesTagsAndValues) {
  RegisterNodeProperties();
  event.SetBinnings();
  ASSERT_EQ(event.size(), kNodeProperties.size());
  EXPECT_EQ(event["ADCChannel"].type, kx_vshort);
  EXPECT_EQ(event["ADCChannel"].value, &adcChannel);
  EXPECT_EQ(event["TDCValue"].value, &tdcValue);
  EXPECT_EQ(event["ADCChannel"].hasBinning, 0);
}

TEST_F(FlowEventTest, SetBinningsListsDefinedBinnings) {
  FlowBinning binning;
  binning.max = 4096;
  binning.bins = 4096;
  event["Binned"] = FlowProperty(kx_vshort, binning, &adcValue);
  event.SetBinnings();
  EXPECT_EQ(event["Binned"].hasBinning, 1);
}

// ---- Value listing -----------------------------------------------------------------------

TEST_F(FlowEventTest, NodeEventListsValuesInByteOrderOfNames) {
  RegisterNodeProperties();
  adcChannel = {1, 12};
  adcValue = {100, 40000};
  EXPECT_EQ(Listing(event),
            "ADCChannel:\t   1   12 \n"
            "ADCValue:\t 100 -25536 \n"
            "TDCChannel:\t\n"
            "TDCValue:\t\n");
}

TEST_F(FlowEventTest, NodeEventListsTypesWhileSetupIsRaised) {
  RegisterNodeProperties();
  adcValue = {100};
  event.setup = true;
  EXPECT_EQ(Listing(event),
            "ADCChannel:\tvector<short>\n"
            "ADCValue:\tvector<short>\n"
            "TDCChannel:\tvector<short>\n"
            "TDCValue:\tvector<short>\n");
}

TEST_F(FlowEventTest, PrefixNameComesFirst) {
  event["ab"];
  event["a"];
  event["B"];
  EXPECT_EQ(Listing(event), "B:\t\na:\t\nab:\t\n");
}

TEST_F(FlowEventTest, UnsignedShortsUnderTag20ReadAsSigned) {
  std::vector<uint16_t> values = {40000, 65535, 32767};
  EXPECT_EQ(Rendering(kx_vshort, values), "-25536   -1 32767 ");
}

TEST_F(FlowEventTest, ScalarTagsRenderThroughTheirTypes) {
  uint16_t uint16 = 65535;
  int16_t int16 = -5;
  uint32_t uint32 = 4000000000u;
  int32_t int32 = -7;
  bool flag = true;
  float single = 0.1f;
  double precise = 1.0 / 3.0;
  uint64_t uint64 = std::numeric_limits<uint64_t>::max();
  std::string text = "xyz";
  EXPECT_EQ(Rendering(kx_uint16, uint16), "65535");
  EXPECT_EQ(Rendering(kx_short, int16), "-5");
  EXPECT_EQ(Rendering(kx_uint32, uint32), "4000000000");
  EXPECT_EQ(Rendering(kx_int, int32), "-7");
  EXPECT_EQ(Rendering(kx_bool, flag), "1");
  EXPECT_EQ(Rendering(kx_float, single), "0.1");
  EXPECT_EQ(Rendering(kx_double, precise), "0.333333");
  EXPECT_EQ(Rendering(kx_uint64, uint64), "18446744073709551615");
  EXPECT_EQ(Rendering(kx_string, text), "xyz");
}

TEST_F(FlowEventTest, CStringRendersTheCharactersAtTheValue) {
  char characters[] = "file.dat";
  EXPECT_EQ(Rendering(FlowProperty(kx_cstring, FlowBinning(), characters)), "file.dat");
}

TEST_F(FlowEventTest, VectorTagsRenderEveryElement) {
  std::vector<int> ints = {-1, 123456};
  std::vector<uint64_t> wide = {7};
  std::vector<float> floats = {0.5f};
  std::vector<double> doubles = {2.25, 1e10};
  std::vector<std::string> strings = {"ab", "abcdef"};
  EXPECT_EQ(Rendering(kx_vint, ints), "  -1 123456 ");
  EXPECT_EQ(Rendering(kx_vuint64, wide), "   7 ");
  EXPECT_EQ(Rendering(kx_vfloat, floats), " 0.5 ");
  EXPECT_EQ(Rendering(kx_vdouble, doubles), "2.25 1e+10 ");
  EXPECT_EQ(Rendering(kx_vstring, strings), "  ab abcdef ");
}

TEST_F(FlowEventTest, UnsetAndUnnamedTagsRenderNothing) {
  int value = 5;
  EXPECT_EQ(Rendering(FlowProperty()), "");
  for (int tag : {0, 3, 12, 14, 17, 23, 27, 99, 101}) {
    EXPECT_EQ(Rendering(static_cast<kx_type>(tag), value), "") << "tag " << tag;
  }
}

TEST_F(FlowEventTest, NullValueRendersNothing) {
  EXPECT_EQ(Rendering(FlowProperty(kx_vshort, FlowBinning(), nullptr)), "");
  EXPECT_EQ(Rendering(FlowProperty(kx_cstring, FlowBinning(), nullptr)), "");
}

TEST_F(FlowEventTest, EmptyVectorListsNameOnly) {
  event["Empty"] = FlowProperty(kx_vshort, FlowBinning(), &adcChannel);
  EXPECT_EQ(Listing(event), "Empty:\t\n");
}

TEST_F(FlowEventTest, BinningListsBeforeTheValue) {
  event["Binned"] = FlowProperty(kx_vshort, FlowBinning(), &adcChannel);
  event["Binned"].hasBinning = 1;
  EXPECT_EQ(Listing(event), "Binned:\t\nBinning: Min: 0, Max: 0, Bins: 0\nValue:\t\n");
}

TEST_F(FlowEventTest, FormulaThatFailsShowsItsTextInPlaceOfTheValue) {
  formulaParser formula("1 > 2");
  adcValue = {5};
  event["Cut"] = FlowProperty(kx_vshort, FlowBinning(), &adcValue);
  event["Cut"].hasBinning = 1;
  event["Cut"].formula = &formula;
  EXPECT_EQ(Listing(event), "Cut:\t1 > 2\n");
}

TEST_F(FlowEventTest, FormulaThatHoldsListsTheValue) {
  formulaParser formula("1 < 2");
  adcValue = {5};
  event["Cut"] = FlowProperty(kx_vshort, FlowBinning(), &adcValue);
  event["Cut"].formula = &formula;
  EXPECT_EQ(Listing(event), "Cut:\t   5 \n");
}

TEST_F(FlowEventTest, TypeListingIgnoresFormula) {
  formulaParser formula("false");
  event["Cut"] = FlowProperty(kx_vshort, FlowBinning(), &adcValue);
  event["Cut"].formula = &formula;
  event.setup = true;
  EXPECT_EQ(Listing(event), "Cut:\tvector<short>\n");
}

TEST_F(FlowEventTest, EveryTagListsItsTypeName) {
  const std::vector<std::pair<kx_type, std::string>> names = {
      {kx_uint16, "uint16"},          {kx_short, "short"},
      {kx_uint32, "uint32"},          {kx_int, "int"},
      {kx_bool, "bool"},              {kx_float, "float"},
      {kx_double, "double"},          {kx_uint64, "uint64"},
      {kx_cstring, "c-string"},       {kx_unset, ""},
      {kx_string, "string"},          {kx_vshort, "vector<short>"},
      {kx_vint, "vector<int>"},       {kx_vuint64, "vector<uint64>"},
      {kx_vfloat, "vector<float>"},   {kx_vdouble, "vector<double>"},
      {kx_vstring, "vector<string>"}, {static_cast<kx_type>(23), ""}};
  event.setup = true;
  for (const auto& [type, name] : names) {
    event["Entry"] = FlowProperty(type, FlowBinning(), nullptr);
    EXPECT_EQ(Listing(event), "Entry:\t" + name + "\n") << "tag " << type;
  }
}

// ---- Nested events -----------------------------------------------------------------------

TEST_F(FlowEventTest, NestedEventFollowsItsEntryAndAddsAnEmptyLine) {
  FlowEvent inner;
  int32_t count = 3;
  inner["count"] = FlowProperty(kx_int, FlowBinning(), &count);
  event["inner"] = FlowProperty(kx_flowevent, FlowBinning(), &inner);
  EXPECT_EQ(Listing(event), "inner:\t\ncount:\t3\n\n");
}

TEST_F(FlowEventTest, NestedEventKeepsItsOwnListingKind) {
  FlowEvent inner;
  int32_t count = 3;
  inner["count"] = FlowProperty(kx_int, FlowBinning(), &count);
  event["inner"] = FlowProperty(kx_flowevent, FlowBinning(), &inner);
  event.setup = true;
  EXPECT_EQ(Listing(event), "inner:\tFlowEvent: \ncount:\t3\n\n");
  event.setup = false;
  inner.setup = true;
  EXPECT_EQ(Listing(event), "inner:\t\ncount:\tint\n\n");
}

TEST_F(FlowEventTest, EmptyNestedEventLeavesAnEmptyLine) {
  FlowEvent inner;
  event["inner"] = FlowProperty(kx_flowevent, FlowBinning(), &inner);
  EXPECT_EQ(Listing(event), "inner:\t\n\n");
  event.setup = true;
  EXPECT_EQ(Listing(event), "inner:\tFlowEvent: \n\n");
}

TEST_F(FlowEventTest, EventContainingItselfListsOnlyOnce) {
  FlowEvent inner;
  inner["outer"] = FlowProperty(kx_flowevent, FlowBinning(), &event);
  event["inner"] = FlowProperty(kx_flowevent, FlowBinning(), &inner);
  event["self"] = FlowProperty(kx_flowevent, FlowBinning(), &event);
  const std::string listing = "inner:\t\nouter:\t\n\n\nself:\t\n\n";
  EXPECT_EQ(Listing(event), listing);
  EXPECT_EQ(Rendering(event["self"]), "\n" + listing);
}

// ---- Text ---------------------------------------------------------------------------------

TEST_F(FlowEventTest, StrReturnsTheSameReferenceWithTheLatestText) {
  int32_t value = 1;
  event["v"] = FlowProperty(kx_int, FlowBinning(), &value);
  std::string& first = event.str();
  EXPECT_EQ(first, "v:\t1\n");
  value = 2;
  std::string& second = event.str();
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(first, "v:\t2\n");
}

TEST_F(FlowEventTest, StrIgnoresTheCallersStreamFormatting) {
  double value = 0.5;
  event["v"] = FlowProperty(kx_double, FlowBinning(), &value);
  std::ostringstream formatted;
  formatted << std::fixed;
  formatted << event;
  EXPECT_EQ(formatted.str(), "v:\t0.500000\n");
  EXPECT_EQ(event.str(), "v:\t0.5\n");
}

TEST_F(FlowEventTest, VectorToStreamPadsEachElementToFour) {
  EXPECT_EQ(VectorText<short>({1, 12}), "   1   12 ");
  EXPECT_EQ(VectorText<int>({12345}), "12345 ");
  EXPECT_EQ(VectorText<std::string>({"a"}), "   a ");
  EXPECT_EQ(VectorText<double>({}), "");
}

TEST_F(FlowEventTest, VectorToStreamWritesEveryIntegerAsTheStreamWould) {
  EXPECT_EQ(VectorText<short>({0, -1, -123, -1234, 32767, -32768}), "   0   -1 -123 -1234 32767 -32768 ");
  EXPECT_EQ(VectorText<unsigned short>({9, 65535}), "   9 65535 ");
  EXPECT_EQ(VectorText<long long>({-9223372036854775807LL - 1}), "-9223372036854775808 ");
  // More numbers than one line buffer holds.
  const std::vector<unsigned> many(300, 12345);
  std::string expected;
  for (size_t i = 0; i < many.size(); ++i) expected += "12345 ";
  EXPECT_EQ(VectorText<unsigned>(many), expected);
}

// A caller's base, fill, adjustment or sign reach every element, as they would through the stream.
TEST_F(FlowEventTest, VectorToStreamKeepsTheCallersFormatting) {
  std::vector<short> values = {10, -2};
  const std::pair<std::ios_base& (*)(std::ios_base&), const char*> cases[] = {
      {std::hex, "   a fffe "}, {std::left, "10   -2   "}, {std::internal, "  10 -  2 "}, {std::showpos, " +10   -2 "}};
  for (const auto& [manipulator, expected] : cases) {
    std::ostringstream text;
    text << manipulator;
    VectorToStream(values, text);
    EXPECT_EQ(text.str(), expected);
  }
  std::ostringstream filled;
  filled << std::setfill('.');
  VectorToStream(values, filled);
  EXPECT_EQ(filled.str(), "..10 ..-2 ");
}

TEST_F(FlowEventTest, VectorToStreamWidthDoesNotOutliveTheElement) {
  std::vector<short> values = {1};
  std::ostringstream text;
  VectorToStream(values, text);
  text << 7;
  EXPECT_EQ(text.str(), "   1 7");
}

TEST_F(FlowEventTest, BinningLines) {
  FlowBinning binning;
  EXPECT_EQ(BinningText(binning), "Min: 0, Max: 0, Bins: 0\n");
  binning.min = -1.5;
  binning.max = 1.5;
  binning.bins = -3;
  EXPECT_EQ(BinningText(binning), "Min: -1.5, Max: 1.5, Bins: -3\n");
  binning.edges = {0, 1.5, 3};
  EXPECT_EQ(BinningText(binning), "0 1.5 3\n");
}

// ---- Copies -------------------------------------------------------------------------------

TEST_F(FlowEventTest, DefaultPropertyHoldsNothing) {
  const FlowProperty property;
  EXPECT_EQ(property.type, kx_unset);
  EXPECT_TRUE(property.title.empty());
  EXPECT_TRUE(property.unit.empty());
  EXPECT_EQ(property.hasBinning, 0);
  EXPECT_EQ(property.value, nullptr);
  EXPECT_EQ(property.formula, nullptr);
  EXPECT_EQ(property.userWord, 0u);
}

TEST_F(FlowEventTest, CopyOutlivesSourceAndSharesTheValue) {
  adcValue = {40000};
  formulaParser formula("1");
  auto* source = new FlowProperty(kx_vshort, FlowBinning(), &adcValue);
  source->formula = &formula;
  source->title = "ADC";
  source->userWord = 42;
  const FlowProperty copy(*source);
  delete source;
  EXPECT_EQ(copy.value, &adcValue);
  EXPECT_EQ(copy.formula, &formula);
  EXPECT_EQ(copy.title, "ADC");
  EXPECT_EQ(copy.userWord, 42u);
  EXPECT_EQ(adcValue, std::vector<uint16_t>{40000});
  EXPECT_EQ(Rendering(copy), "-25536 ");
}

TEST_F(FlowEventTest, BinningCopyHasItsOwnEdges) {
  FlowBinning source;
  source.edges = {1, 2};
  FlowBinning copy(source);
  copy.edges.push_back(3);
  FlowBinning assigned;
  assigned = source;
  assigned.edges[0] = 9;
  EXPECT_EQ(source.edges, (std::vector<double>{1, 2}));
}

TEST_F(FlowEventTest, AssignmentTurnsUnsetEntryIntoTheRegisteredOne) {
  FlowProperty& entry = event["ADCValue"];
  ASSERT_EQ(entry.type, kx_unset);
  entry = FlowProperty(kx_vshort, FlowBinning(), &adcValue);
  EXPECT_EQ(entry.type, kx_vshort);
  EXPECT_EQ(entry.value, &adcValue);
  EXPECT_EQ(entry.hasBinning, 0);
  EXPECT_EQ(entry.formula, nullptr);
}

}  // namespace
