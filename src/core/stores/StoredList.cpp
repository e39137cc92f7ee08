#include "core/stores/StoredList.h"

#include <algorithm>

#include "core/support/AuxStr.h"

namespace palisor::stores {

StoredList::StoredList(std::string path, std::initializer_list<ListModel*> lists, Keep keep, bool upperCaseFirstField)
    : file_(std::move(path)), lists_(lists), keep_(keep), upperCaseFirstField_(upperCaseFirstField) {
  for (const ListModel* list : lists_) fieldCount_ += 1 + list->SubItemCount();
}

std::size_t StoredList::RecordCount() const {
  std::size_t count = lists_.empty() ? 0 : lists_.front()->Count();
  for (const ListModel* list : lists_) count = std::min(count, list->Count());
  return count;
}

void StoredList::OpenAndLoad() {
  file_.OpenAndLoad(fieldCount_, [this](const std::vector<std::string_view>& fields) {
    if (fields[0].empty()) return;
    if (keep_ == Keep::kAllFieldsSet &&
        std::any_of(fields.begin(), fields.end(), [](std::string_view f) { return f.empty(); })) {
      return;
    }
    std::size_t next = 0;
    for (ListModel* list : lists_) {
      Row row;
      row.caption = next == 0 && upperCaseFirstField_ ? support::AuxUpperCase(fields[0]) : std::string(fields[next]);
      ++next;
      for (std::size_t s = 0; s < list->SubItemCount(); ++s) row.subItems.emplace_back(fields[next++]);
      list->Append(std::move(row));
    }
  });
}

void StoredList::Save(RecordWriter& writer) const {
  const std::size_t count = RecordCount();
  for (std::size_t i = 0; i < count; ++i) {
    for (const ListModel* list : lists_) {
      const Row& row = list->At(i);
      writer.Field(row.caption);
      for (const std::string& field : row.subItems) writer.Field(field);
    }
  }
}

void StoredList::Rewrite() {
  file_.Rewrite([this](RecordWriter& writer) { Save(writer); });
}

}  // namespace palisor::stores
