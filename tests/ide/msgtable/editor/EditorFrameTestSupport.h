// What the tests of the editor frame read and do: the tree as text, the blocks the frames refer
// to and whether the document still holds them, and clicks on nodes and tool buttons as a person
// gives them.
#pragma once

#include "ide/msgtable/editor/EvLog_EditorFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tamrel::evlog::test {

// A node a line, children indented by two blanks.
std::vector<std::wstring> TreeText(TEvLogEditorFrame& frame);
// The first node with that text, or null.
TTreeNode* NodeWithText(TEvLogEditorFrame& frame, const std::wstring& text);

// Every block the frame's tree and block list refer to (and its block frame's block, when
// asked) is one the document's table holds now: none of them was freed under a view.
::testing::AssertionResult RefersToLiveBlocksOnly(TEvLogEditorFrame& frame, TEvLogDocument& document,
                                                  bool withBlockFrame = true);

// A click on the node's text; fails the test when the node does not end up selected.
void ClickNode(TEvLogEditorFrame& frame, TTreeNode* node);
// A click on the tool button of the action.
void ClickButtonOf(TEvLogEditorFrame& frame, TAction* action);
// The frame's form shown in front, so that real input reaches it.
void ShowInFront(TEvLogEditorFrame& frame);

} // namespace tamrel::evlog::test
