// Outside components created by ProgID at run time, as COM's CreateObject
// does on Windows. The program registers the real implementations at start;
// tests register recording or failing fakes. Nothing in the scan or the
// exports constructs a component directly.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace automation {

// Every failure of a component, or of creating one, surfaces as this, with a
// text that says what went wrong and, where there is one, which file.
class AutomationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Base of every automation object; components add their own members.
class Object {
 public:
  virtual ~Object() = default;
};

using Factory = std::function<std::shared_ptr<Object>()>;

class Registry {
 public:
  static Registry& Instance();

  // Registering a ProgID again replaces the earlier factory.
  void Register(const std::string& progId, Factory factory);
  void Unregister(const std::string& progId);
  bool IsRegistered(const std::string& progId) const;
  // The factory registered under progId, or an empty one.
  Factory Lookup(const std::string& progId) const;

  // Throws AutomationError when nothing is registered under progId or the
  // factory fails, as a missing component does on Windows.
  std::shared_ptr<Object> CreateObject(const std::string& progId) const;

  // CreateObject, then the interface the caller talks to; a component that
  // lacks it fails like one that cannot be created.
  template <class T>
  std::shared_ptr<T> Create(const std::string& progId) const {
    auto obj = CreateObject(progId);
    auto typed = std::dynamic_pointer_cast<T>(obj);
    if (!typed)
      throw AutomationError("The component \"" + progId +
                            "\" does not support the interface asked for.");
    return typed;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Factory> factories_;
};

// Registers for the life of a scope and restores what was there before.
class ScopedRegistration {
 public:
  ScopedRegistration(std::string progId, Factory factory);
  ~ScopedRegistration();
  ScopedRegistration(const ScopedRegistration&) = delete;
  ScopedRegistration& operator=(const ScopedRegistration&) = delete;

 private:
  std::string progId_;
  Factory previous_;
};

// A factory that always hands out the same object (a test's recording fake).
template <class T>
Factory SameObject(std::shared_ptr<T> object) {
  return [object] { return std::static_pointer_cast<Object>(object); };
}

}  // namespace automation
