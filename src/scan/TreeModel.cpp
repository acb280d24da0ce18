#include "TreeModel.h"

namespace scan {

void TreeModel::Clear() {
  nodes_.clear();
  byKey_.clear();
  firstId_ = nextId_;
  rootExpanded_ = false;
  if (listener_) listener_->Cleared();
}

NodeId TreeModel::AddNode(const std::string& key, const std::string& text, int image, int selectedImage,
                          const std::string& parentKey, const std::string& record, NodeStyle style,
                          bool hidden) {
  NodeId parent = kNoNode;
  if (!parentKey.empty()) {
    parent = FindId(parentKey);
    if (parent == kNoNode) throw TreeError("No node of the contact tree has the key \"" + parentKey + "\".");
  }
  ModelNode node;
  node.shown.id = nextId_++;
  node.shown.parent = parent;
  node.shown.text = text;
  node.shown.image = image;
  node.shown.selectedImage = selectedImage;
  node.shown.style = style;
  node.shown.hidden = hidden;
  node.key = key;
  node.record = record;
  nodes_.push_back(std::move(node));
  const ModelNode& added = nodes_.back();
  byKey_[key] = added.shown.id;
  if (listener_) listener_->Added(added.shown);
  return added.shown.id;
}

const ModelNode* TreeModel::Node(NodeId id) const {
  if (id < firstId_ || id >= nextId_) return nullptr;
  return &nodes_[id - firstId_];
}

ModelNode* TreeModel::Mutable(NodeId id) { return const_cast<ModelNode*>(Node(id)); }

NodeId TreeModel::FindId(const std::string& key) const {
  const auto it = byKey_.find(key);
  return it == byKey_.end() ? kNoNode : it->second;
}

const ModelNode* TreeModel::FindNode(const std::string& key) const { return Node(FindId(key)); }

void TreeModel::SetRecordText(NodeId id, const std::string& record) {
  if (ModelNode* n = Mutable(id)) n->record = record;
}

void TreeModel::SetSubject(NodeId id, NodeSubject subject, std::uint32_t recordId) {
  if (ModelNode* n = Mutable(id)) {
    n->subject = subject;
    n->recordId = recordId;
  }
}

void TreeModel::SetHidden(NodeId id, bool hidden) {
  ModelNode* n = Mutable(id);
  if (!n || n->shown.hidden == hidden) return;
  n->shown.hidden = hidden;
  if (listener_) listener_->HiddenChanged(id, hidden);
}

void TreeModel::Refresh() {
  if (listener_) listener_->Refreshed();
}

void TreeModel::ExpandRoot(bool expand) {
  const NodeId root = FindId(kRootKey);
  if (root == kNoNode || rootExpanded_ == expand) return;
  rootExpanded_ = expand;
  if (listener_) listener_->Expanded(root, expand);
}

void TreeModel::Reserve(std::size_t moreNodes) {
  nodes_.reserve(nodes_.size() + moreNodes);
  byKey_.reserve(byKey_.size() + moreNodes);
}

std::vector<NodeId> TreeModel::ContactNodes() const {
  std::vector<NodeId> ids;
  for (const ModelNode& n : nodes_)
    if (!n.record.empty()) ids.push_back(n.shown.id);
  return ids;
}

void PopulateDefaultTree(TreeModel& tree) {
  tree.Clear();
  tree.AddNode(kRootKey, kRootKey, kImageAddressBook, kImageAddressBook, std::string());
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string key(1, letter);
    tree.AddNode(key, key, kImageCardTransfer, kNoImage, kRootKey);
  }
  tree.AddNode(kOtherGroupKey, kOtherGroupKey, kImageCardTransfer, kNoImage, kRootKey);
  tree.ExpandRoot(true);
}

}  // namespace scan
