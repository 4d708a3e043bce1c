#pragma once

// Engine-facing: only the scripting library includes this.

#include <jsapi.h>

#include <cstddef>
#include <memory>

namespace quorvel::engine {

// The process's resident size in bytes (0 when it cannot be read).
std::size_t ResidentBytes();

// A full, shrinking collection, then the allocator's free memory back to the system, so that
// the resident size counts only what scripts still hold.
void CollectGarbage(JSContext* cx);

// The engine context of one host, from creation to destruction, and the global objects made in
// it. One host at a time, after ScriptEngineInit; the constructor throws when the engine cannot
// be set up (at program start).
class EngineContext {
 public:
  // `heap_limit`: the memory the scripts may hold; the engine's own heap is capped a little
  // above it, so that the host's memory guard, not the engine, meets a bomb first.
  explicit EngineContext(std::size_t heap_limit);
  ~EngineContext();
  EngineContext(const EngineContext&) = delete;
  EngineContext& operator=(const EngineContext&) = delete;

  JSContext* cx() const { return cx_; }

  // A new global object with the standard classes only, in which `caller` and `arguments` of
  // every function are ECMAScript's %ThrowTypeError% accessors (the engine's own would hand a
  // script the functions on the stack, the host's included). Null when the engine fails; an
  // exception may then be pending.
  JSObject* NewGlobal();

 private:
  class JobQueue;

  void Destroy();

  JSContext* cx_ = nullptr;
  std::unique_ptr<JobQueue> jobs_;
};

}  // namespace quorvel::engine
