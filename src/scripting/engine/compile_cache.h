#pragma once

// Engine-facing: only the scripting library includes this.

#include <jsapi.h>

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>

#include "scripting/script_value.h"

namespace quorvel::engine {

class ErrorTranslator;

// Texts compiled as global scripts of the current global, each once: a bounded cache (128
// scripts; when full, the least recently used half goes) keyed by source name and text. A text
// that does not compile is kept with its error, so it fails the same way each time without being
// parsed again; a compile the host stopped (time, memory, cancel) is not kept. Scripts belong to
// the global they were compiled in: Clear when it is replaced.
class CompileCache {
 public:
  CompileCache(JSContext* cx, ErrorTranslator& errors) : cx_(cx), errors_(errors) {}

  // Inside a call, in the global's realm. nullopt on success.
  std::optional<ScriptError> Compile(const QString& text, const QString& source,
                                     JS::MutableHandleScript out);
  std::optional<ScriptError> Get(const QString& text, const QString& source,
                                 JS::MutableHandleScript out);

  void Clear() { entries_.clear(); }
  // With the cache off every Get compiles again (for measurements only).
  void SetEnabled(bool enabled);
  std::size_t size() const { return entries_.size(); }

 private:
  struct Key {
    QString source;
    QString text;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const noexcept;
  };
  struct Entry {
    std::unique_ptr<JS::PersistentRootedScript> script;
    std::optional<ScriptError> compile_error;
    uint64_t last_use = 0;
  };

  void EvictOldest();

  JSContext* const cx_;
  ErrorTranslator& errors_;
  std::unordered_map<Key, Entry, KeyHash> entries_;
  bool enabled_ = true;
  uint64_t use_clock_ = 0;
};

}  // namespace quorvel::engine
