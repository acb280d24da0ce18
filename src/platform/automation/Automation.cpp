#include "Automation.h"

namespace automation {

Registry& Registry::Instance() {
  static Registry r;
  return r;
}

void Registry::Register(const std::string& progId, Factory factory) {
  std::lock_guard lock(mutex_);
  factories_[progId] = std::move(factory);
}

void Registry::Unregister(const std::string& progId) {
  std::lock_guard lock(mutex_);
  factories_.erase(progId);
}

bool Registry::IsRegistered(const std::string& progId) const {
  std::lock_guard lock(mutex_);
  return factories_.count(progId) != 0;
}

Factory Registry::Lookup(const std::string& progId) const {
  std::lock_guard lock(mutex_);
  auto it = factories_.find(progId);
  return it != factories_.end() ? it->second : Factory{};
}

std::shared_ptr<Object> Registry::CreateObject(const std::string& progId) const {
  Factory f = Lookup(progId);
  if (!f) throw AutomationError("ActiveX component can't create object: \"" + progId + "\" is not installed.");
  std::shared_ptr<Object> obj = f();
  if (!obj) throw AutomationError("ActiveX component can't create object: \"" + progId + "\" failed to start.");
  return obj;
}

ScopedRegistration::ScopedRegistration(std::string progId, Factory factory) : progId_(std::move(progId)) {
  auto& r = Registry::Instance();
  previous_ = r.Lookup(progId_);
  r.Register(progId_, std::move(factory));
}

ScopedRegistration::~ScopedRegistration() {
  auto& r = Registry::Instance();
  if (previous_)
    r.Register(progId_, previous_);
  else
    r.Unregister(progId_);
}

}  // namespace automation
