#include "core/stores/ContentRuleCommands.h"

namespace palisor::stores {

bool ContentRuleCommands::AddRule(std::string_view typedPattern, std::string_view verdict) {
  if (typedPattern.empty()) return false;
  lists_.AddContentRule(typedPattern, verdict);
  return true;
}

void ContentRuleCommands::SelectPattern(int selectedPattern) {
  lists_.contentPatterns.Select(selectedPattern);
  lists_.contentActions.Select(lists_.contentPatterns.Selected());
}

void ContentRuleCommands::DeleteSelectedRule() {
  if (!lists_.contentActions.HasSelection()) return;
  // The selected verdict's row is removed from both lists, so a pattern never loses its verdict
  // even if the pattern list's selection was changed without lbContentListClick.
  const auto row = static_cast<std::size_t>(lists_.contentActions.Selected());
  lists_.contentActions.RemoveAt(row);
  lists_.contentPatterns.RemoveAt(row);
  lists_.contentPatterns.Select(ListModel::kNoSelection);
  lists_.contentStore.Rewrite();
}

void ContentRuleCommands::ClearRules() {
  lists_.contentActions.Clear();
  lists_.contentPatterns.Clear();
  lists_.contentStore.Truncate();
}

}  // namespace palisor::stores
