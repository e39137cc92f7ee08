// The commands that edit the content rules: the input line with its verdict drop-down, and the
// context menu of the pattern list. The two lists always change together, row for row.
#pragma once

#include <string_view>

#include "core/stores/RuleLists.h"

namespace palisor::stores {

class ContentRuleCommands {
 public:
  explicit ContentRuleCommands(RuleLists& lists) : lists_(lists) {}

  // "Add Content Filter Rule" and Enter in the input line: adds the typed (already upper-case)
  // pattern with the selected verdict. An empty line adds nothing. Returns whether a rule was
  // added, which is when the input line is to be emptied. Nothing is logged.
  bool pAddContentRuleClick(std::string_view typedPattern, std::string_view verdict);
  // A selection change in lbContentList: the verdict list selects the same row (none for none).
  void lbContentListClick(int selectedPattern);
  // Deletes the selected rule and rewrites "ContentRules.txt"; nothing without a selection.
  void Deletecontentrule1Click();
  // Empties both lists and truncates "ContentRules.txt".
  void Clearcontentrules1Click();

 private:
  RuleLists& lists_;
};

}  // namespace palisor::stores
