// The commands that edit the content rules: the input line with its verdict drop-down, and the
// context menu of the pattern list. The two lists always change together, row for row.
#pragma once

#include <string_view>

#include "core/stores/RuleLists.h"

namespace palisor::stores {

class ContentRuleCommands {
 public:
  explicit ContentRuleCommands(RuleLists& lists) : lists_(lists) {}

  // pAddContentRuleClick and edContentLineKeyPress ("Add Content Filter Rule", Enter in the input
  // line): adds the typed (already upper-case)
  // pattern with the selected verdict. An empty line adds nothing. Returns whether a rule was
  // added, which is when the input line is to be emptied. Nothing is logged.
  bool AddRule(std::string_view typedPattern, std::string_view verdict);
  // lbContentListClick, a selection change in lbContentList: the verdict list selects the same row
  // (none for none).
  void SelectPattern(int selectedPattern);
  // Deletecontentrule1Click: deletes the selected rule and rewrites "ContentRules.txt"; nothing
  // without a selection.
  void DeleteSelectedRule();
  // Clearcontentrules1Click: empties both lists and truncates "ContentRules.txt".
  void ClearRules();

 private:
  RuleLists& lists_;
};

}  // namespace palisor::stores
