// What a form asks of the window that shows it. A front end (Qt on Linux,
// Win32 on Windows) builds the designed controls under their designed names
// and carries out these calls; it decides nothing itself. Every text is
// UTF-8 and comes from the form; a call naming a control the view does not
// have is ignored, so a view may leave out what it cannot show.
//
// Events go the other way: the view calls the form's handlers
// (CmdBrowse_Click, ContactsTreeView_NodeClick, ...) and tells the form what
// the user typed (txtNotesDatabaseFile_Change). Setting a text through
// SetText may report it back as a change; the forms take that in their
// stride.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs/Dialogs.h"
#include "scan/TreeModel.h"

namespace forms {

// Tree nodes as the tree model numbers and describes them.
using scan::kNoNode;
using scan::NodeId;
using scan::NodeStyle;
using scan::TreeNode;

// The progress protocol's set-up of a bar for N contacts: the bounds 0 and
// N, N / 100 rounded half to even (the bar's large step) and N / 100 itself
// (its scale). A bar that shows only its position between the bounds meets
// everything the forms rely on.
struct ProgressSetup {
  std::int32_t lower = 0;
  std::int32_t upper = 0;
  std::int32_t largeChange = 0;
  double scale = 0.0;
};

class View {
 public:
  virtual ~View() = default;

  // The caption of a button, label, frame, option, menu entry or form (by
  // the form's name), or the contents of a text box; "&" marks the access
  // key as in the designed captions ("&Browse..."). The tabs of a tab
  // control are named "<control>.<n>", from 1 ("OsenXPTab1.2").
  virtual void SetText(std::string_view control, const std::string& text) = 0;
  virtual void SetEnabled(std::string_view control, bool enabled) = 0;
  virtual void SetVisible(std::string_view control, bool visible) = 0;
  // Option buttons and checkable menu entries.
  virtual void SetChecked(std::string_view control, bool checked) = 0;
  // The entries of a list box, replacing what it held.
  virtual void SetItems(std::string_view control, const std::vector<std::string>& items) = 0;
  // A short text shown when the pointer rests on the control; "" for none.
  virtual void SetToolTip(std::string_view /*control*/, const std::string& /*text*/) {}

  // Progress bars.
  virtual void PrepareProgress(std::string_view bar, const ProgressSetup& setup) = 0;
  virtual void SetProgress(std::string_view bar, std::int64_t position) = 0;

  // Tree controls, by node id. AddTreeNode appends under node.parent, which
  // the view already has (or at the top level).
  virtual void ClearTree(std::string_view tree) = 0;
  virtual void AddTreeNode(std::string_view tree, const TreeNode& node) = 0;
  virtual void SetTreeNodeHidden(std::string_view tree, NodeId node, bool hidden) = 0;
  virtual void ExpandTreeNode(std::string_view tree, NodeId node, bool expand) = 0;
  // After a change: draw what changed now, as the form does not yield to the
  // event loop while it scans.
  virtual void RefreshTree(std::string_view /*tree*/) {}

  // The form itself: hidden (kept loaded, as FrmConversion after an
  // export) or closed (unloaded, as AboutFrm after OK).
  virtual void HideForm() = 0;
  virtual void CloseForm() = 0;

  // The owner handed to modal dialogs and message boxes shown over this form.
  virtual dialogs::Owner Owner() const = 0;
};

}  // namespace forms
