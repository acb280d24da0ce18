// The contact tree without a toolkit: the list the user browses and the
// store of every contact's record. Each node has an id (never reused while
// the model lives), a key (as the scan and the detail view find nodes), a
// text, its image indexes, its record text and, for what the whole-book
// model holds, the record id of the contact or group behind it. A view
// renders the model by listening to it (TreeListener); the model never asks
// the view anything.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace scan {

// A node as the model numbers it: never reused while the model lives, 0 for none.
using NodeId = std::uint32_t;
inline constexpr NodeId kNoNode = 0;

// How a node is drawn: as the designed tree draws it, or marked as a
// deleted contact (greyed, in italics).
enum class NodeStyle { Normal, Deleted };

// One node, everything a view needs to draw it. Images index the image list
// SmallIcons; -1 is none.
struct TreeNode {
  NodeId id = kNoNode;
  NodeId parent = kNoNode;  // kNoNode: top level
  std::string text;
  int image = -1;
  int selectedImage = -1;
  NodeStyle style = NodeStyle::Normal;
  bool hidden = false;
};

// Indexes of the tree's images in the image list SmallIcons.
inline constexpr int kImageContacts = 3;
inline constexpr int kImageCardTransfer = 38;
inline constexpr int kImageAddressBook = 40;
inline constexpr int kNoImage = -1;

inline constexpr const char* kRootKey = "WAB Contacts";
inline constexpr const char* kOtherGroupKey = "Other";

// A tree operation that cannot be carried out (a parent key naming no node).
class TreeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the whole-book model keeps behind a node.
enum class NodeSubject { None, Contact, Group };

struct ModelNode {
  TreeNode shown;           // id, parent, text, images, style, hidden
  std::string key;
  std::string record;       // the ContactRecord text; "" for the root and groups
  NodeSubject subject = NodeSubject::None;
  std::uint32_t recordId = 0;  // of the book's contact or group, when subject is not None
};

// Told of every change, in order, so a view draws the same tree.
class TreeListener {
 public:
  virtual ~TreeListener() = default;
  virtual void Cleared() = 0;
  virtual void Added(const TreeNode& node) = 0;
  virtual void HiddenChanged(NodeId node, bool hidden) = 0;
  virtual void Expanded(NodeId node, bool expand) = 0;
  // The designed follow-up after a node is added: show it now.
  virtual void Refreshed() {}
};

class TreeModel {
 public:
  TreeModel() = default;
  TreeModel(const TreeModel&) = delete;
  TreeModel& operator=(const TreeModel&) = delete;

  // One listener at a time (the form's view); nullptr for none.
  void SetListener(TreeListener* listener) { listener_ = listener; }

  void Clear();

  // Adds a node under the node keyed parentKey ("" for the top level) and
  // returns its id. Throws TreeError when no node has parentKey. A key
  // already in use (a repeated scan within the same second) is taken over
  // by the new node; the old node stays, found by its id.
  // The style and the hidden state are the node's from the start.
  NodeId AddNode(const std::string& key, const std::string& text, int image, int selectedImage,
                 const std::string& parentKey, const std::string& record = {},
                 NodeStyle style = NodeStyle::Normal, bool hidden = false);

  // The node with that key or id, or nullptr.
  const ModelNode* FindNode(const std::string& key) const;
  const ModelNode* Node(NodeId id) const;
  NodeId FindId(const std::string& key) const;

  void SetRecordText(NodeId id, const std::string& record);
  // Ties a node to the book's contact or group with that record id.
  void SetSubject(NodeId id, NodeSubject subject, std::uint32_t recordId);
  void SetHidden(NodeId id, bool hidden);

  // The two follow-ups after a change: show the latest node's branch as it
  // stands, and keep the root open so every group is in sight.
  void Refresh();
  void ExpandRoot(bool expand);

  // Makes room for that many more nodes.
  void Reserve(std::size_t moreNodes);

  // Every node, in the order added (so parents come before children).
  const std::vector<ModelNode>& Nodes() const { return nodes_; }
  std::size_t NodeCount() const { return nodes_.size(); }
  // The nodes carrying a record (the scanned contacts), in the order added.
  std::vector<NodeId> ContactNodes() const;

 private:
  ModelNode* Mutable(NodeId id);

  std::vector<ModelNode> nodes_;  // node id firstId_ + i is nodes_[i]
  NodeId firstId_ = 1;            // ids go on growing across Clear: a view never mixes old and new
  NodeId nextId_ = 1;
  std::unordered_map<std::string, NodeId> byKey_;
  bool rootExpanded_ = false;
  TreeListener* listener_ = nullptr;
};

// Empties the tree and builds its skeleton: the root "WAB Contacts", the
// groups "A" to "Z" and the group "Other", 28 nodes, none with a record.
void PopulateDefaultTree(TreeModel& tree);

}  // namespace scan
