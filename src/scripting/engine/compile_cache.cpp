#include "scripting/engine/compile_cache.h"

#include <js/CompilationAndEvaluation.h>
#include <js/SourceText.h>

#include <QHash>

#include <algorithm>
#include <vector>

#include "scripting/engine/error_translator.h"

namespace quorvel::engine {

namespace {
constexpr std::size_t kMaxCachedScripts = 128;
}  // namespace

std::size_t CompileCache::KeyHash::operator()(const Key& k) const noexcept {
  return qHash(k.text) ^ (qHash(k.source) * 0x9E3779B97F4A7C15ull);
}

std::optional<ScriptError> CompileCache::Compile(const QString& text, const QString& source,
                                                 JS::MutableHandleScript out) {
  const QByteArray file = source.toUtf8();
  JS::CompileOptions options(cx_);
  options.setFileAndLine(file.constData(), 1);
  JS::SourceText<char16_t> src;
  if (!src.init(cx_, reinterpret_cast<const char16_t*>(text.utf16()),
                static_cast<size_t>(text.size()), JS::SourceOwnership::Borrowed)) {
    return errors_.Take();
  }
  out.set(JS::Compile(cx_, options, src));
  if (!out) return errors_.Take();
  return std::nullopt;
}

std::optional<ScriptError> CompileCache::Get(const QString& text, const QString& source,
                                             JS::MutableHandleScript out) {
  if (!enabled_) return Compile(text, source, out);
  Key key{source, text};
  if (auto it = entries_.find(key); it != entries_.end()) {
    it->second.last_use = ++use_clock_;
    if (it->second.compile_error) return it->second.compile_error;
    out.set(*it->second.script);
    return std::nullopt;
  }
  auto error = Compile(text, source, out);
  if (error && script_errors::StopsTheRun(error->number)) return error;
  if (entries_.size() >= kMaxCachedScripts) EvictOldest();
  Entry entry;
  entry.last_use = ++use_clock_;
  if (error) {
    entry.compile_error = error;
  } else {
    entry.script = std::make_unique<JS::PersistentRootedScript>(cx_, out.get());
  }
  entries_.emplace(std::move(key), std::move(entry));
  return error;
}

void CompileCache::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (!enabled) entries_.clear();
}

void CompileCache::EvictOldest() {
  std::vector<uint64_t> uses;
  uses.reserve(entries_.size());
  for (const auto& [key, entry] : entries_) uses.push_back(entry.last_use);
  auto middle = uses.begin() + static_cast<std::ptrdiff_t>(uses.size() / 2);
  std::nth_element(uses.begin(), middle, uses.end());
  const uint64_t cutoff = *middle;
  std::erase_if(entries_, [cutoff](const auto& item) { return item.second.last_use < cutoff; });
}

}  // namespace quorvel::engine
