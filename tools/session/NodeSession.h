#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "flow/FlowEvent.h"
#include "flow/KXBase.h"

class InterruptWatch;

// How a node's run on a thread of its own ended.
enum class NodeEnd {
  kEnded,        // the node's Start returned by itself
  kInterrupted,  // Ctrl-C stopped it, and its Start returned
  kAbandoned,    // Ctrl-C came, and its Start had not returned within the grace time
};

// A host's view of one source node: loads the plug-in, makes the node through newObject, and
// knows it only through KXBase and the two entry points. The node's ports are reached by the
// documented names: inputs "steps", "interval", "file", "listfile", output "fevent".
//
// Use on one thread: Open, the setters, Connect, then Start. The receiver given to Connect must
// outlive the session, since the node keeps the connection until it is deleted.
class NodeSession {
 public:
  NodeSession();
  // Deletes the node through delObject, frees the FlowEvent it handed over, unloads the plug-in.
  ~NodeSession();
  NodeSession(const NodeSession&) = delete;
  NodeSession& operator=(const NodeSession&) = delete;

  // Loads the plug-in (an empty path: the one beside the running program, else the one in the
  // installed tree's plug-in folder) and makes the node; false, with the reason in `error`. A
  // node without the output "fevent" is refused.
  bool Open(const std::string& pluginPath, const std::string& nodeName, std::string& error);
  KXBase& Node();

  // The most steps a node counts: its "steps" input holds 32 bits.
  static constexpr uint64_t kMostSteps = 4294967295ULL;

  void SetSteps(uint32_t steps);              // input "steps" (the int input, bit for bit)
  void SetInterval(float seconds);            // input "interval"
  void SetFile(const std::string& name);      // input "file"
  void SetListFile(const std::string& name);  // input "listfile"

  // Init, then connects the receiver's input `input` to the node's output "fevent".
  void Connect(KXBase& receiver, int input = 0);

  // Runs Start on this thread; a signal `watch` sees stops the node after the event in hand.
  // True when interrupted.
  bool Start(InterruptWatch& watch);
  // Runs Start on a thread of its own while this one waits. After Ctrl-C the node is stopped as
  // Start stops it; when its Start has not returned `grace` later (the node looks at its flag
  // only between events), it is left running: the caller must then end the program without
  // deleting the session or anything the node uses, by std::_Exit.
  NodeEnd StartOrAbandon(std::chrono::milliseconds grace);

  // The data file that the last SetFile or SetListFile selected, found by the node's documented
  // rule (the name as given, else inside $UKMIDASDATA; for a list file, the name on its first
  // line); empty when none opens. The node itself is not asked: a host cannot see inside it.
  const std::string& DataFile() const { return dataFile; }

 private:
  using DeleteObject = void (*)(void*);

  void CatchFlowEvent(int output);
  void SetText(const char* input, const std::string& text);

  void* library = nullptr;
  DeleteObject deleteObject = nullptr;
  KXBase* node = nullptr;
  // The node's FlowEvent, caught at connection: the node never frees it, so the session does.
  std::unique_ptr<FlowEvent> flowEvent;
  std::string dataFile;
};

// The data file the node opens for the input "file" set to `file`, or, when that is empty, for
// the input "listfile" set to `listFile`; empty when none opens.
std::string NodeDataFile(const std::string& file, const std::string& listFile);

