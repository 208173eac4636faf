#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "flow/FlowEvent.h"
#include "flow/KXBase.h"

// One source node loaded from its plug-in and run by this host, known only through KXBase and
// the plug-in's two entry points. Frees, on destruction, the node, the FlowEvent the node hands
// over at connection (the node never frees it) and the plug-in. One thread only.
class NodeSession {
 public:
  NodeSession();
  ~NodeSession();
  NodeSession(const NodeSession&) = delete;
  NodeSession& operator=(const NodeSession&) = delete;

  // Loads the plug-in and makes the node; false, with `error`, when either fails.
  bool Open(const std::string& pluginPath, const std::string& nodeName, std::string& error);
  KXBase& Node();

  // The node's inputs, delivered as the framework delivers any input value.
  void SetSteps(uint32_t steps);
  void SetInterval(float seconds);
  void SetFile(const std::string& name);
  void SetListFile(const std::string& name);

  // Init, then connects `receiver`'s input `input` to the node's "fevent".
  void Connect(KXBase& receiver, int input = 0);
  // Runs the node on this thread; Ctrl-C stops it after the event in hand. True when it was
  // interrupted.
  bool Start();

 private:
  class SetupKeeper;

  void* library = nullptr;
  void (*deleteNode)(void*) = nullptr;
  KXBase* node = nullptr;
  std::unique_ptr<FlowEvent> setupEvent;
};

// The plug-in built beside the running program.
std::string DefaultPluginPath();
