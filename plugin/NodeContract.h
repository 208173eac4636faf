#pragma once

#include <cstdlib>
#include <string>

// What a host and the source node agree on, written once for both sides: the module's file
// name, its entry points' symbols, its ports, the properties of the FlowEvent it sends, and
// where a data file name is looked for.

// The loadable module, and its two entry points' symbols as a host resolves them (C++ linkage:
// KXBase* newObject(std::string&), void delObject(void*)).
constexpr const char* kNodeModuleFile = "UKMidasFile.kxp";
constexpr const char* kNewObjectSymbol = "_Z9newObjectRNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
constexpr const char* kDelObjectSymbol = "_Z9delObjectPv";

// The node's ports, inputs in port order.
constexpr const char* kStepsInputName = "steps";
constexpr const char* kIntervalInputName = "interval";
constexpr const char* kFileInputName = "file";
constexpr const char* kListFileInputName = "listfile";
constexpr const char* kEventOutputName = "fevent";

// The four properties of the sent FlowEvent, in the order the node registers them.
constexpr const char* kAdcChannelProperty = "ADCChannel";
constexpr const char* kAdcValueProperty = "ADCValue";
constexpr const char* kTdcChannelProperty = "TDCChannel";
constexpr const char* kTdcValueProperty = "TDCValue";

// The environment variable naming the folder where data file names are looked for next.
constexpr const char* kDataDirectoryVariable = "UKMIDASDATA";

// The data directory as the environment names it now; empty when unset. Whoever looks files up
// reads it once, when it starts, as the node does at construction.
inline std::string DataDirectoryNow()
{
  const char* directory = std::getenv(kDataDirectoryVariable);
  return directory != nullptr ? directory : "";
}

// Looks a data file name up: the name as given, then the data directory + "/" + the name.
// `tryPath(path, inDataDirectory)` opens (or looks at) one candidate and says whether it opened.
// The first path that opens; empty when neither does.
template <typename TryPath>
std::string LookUpDataFile(const std::string& name, const std::string& dataDirectory, TryPath&& tryPath)
{
  if (tryPath(name, false)) return name;
  const std::string inDirectory = dataDirectory + "/" + name;
  return tryPath(inDirectory, true) ? inDirectory : std::string();
}
