#include "base/option_registry.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace {

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

OptionRow spinOption(std::string name, OptionValue current, int min, int max, OptionApply apply) {
  OptionRow row;
  row.name = std::move(name);
  row.type = OptionType::Spin;
  row.current = std::move(current);
  row.min = min;
  row.max = max;
  row.apply = std::move(apply);
  return row;
}

OptionRow checkOption(std::string name, OptionValue current, OptionApply apply) {
  OptionRow row;
  row.name = std::move(name);
  row.type = OptionType::Check;
  row.current = std::move(current);
  row.apply = std::move(apply);
  return row;
}

OptionRow stringOption(std::string name, OptionValue current, OptionApply apply) {
  OptionRow row = checkOption(std::move(name), std::move(current), std::move(apply));
  row.type = OptionType::String;
  return row;
}

OptionRow comboOption(std::string name, OptionValue current, std::vector<std::string> choices,
                      OptionApply apply) {
  OptionRow row = checkOption(std::move(name), std::move(current), std::move(apply));
  row.type = OptionType::Combo;
  row.choices = std::move(choices);
  return row;
}

OptionRow buttonOption(std::string name, OptionApply apply) {
  OptionRow row;
  row.name = std::move(name);
  row.type = OptionType::Button;
  row.apply = std::move(apply);
  return row;
}

void OptionRegistry::add(OptionRow row) { rows_.push_back(std::move(row)); }

const OptionRow* OptionRegistry::find(const std::string& name) const {
  for (const OptionRow& row : rows_)
    if (sameName(row.name, name)) return &row;
  return nullptr;
}

const OptionRow* OptionRegistry::findLeading(const std::vector<std::string>& words,
                                             size_t maxNameWords, unsigned place,
                                             std::string& value) const {
  for (size_t count = std::min(maxNameWords, words.size()); count > 0; count--) {
    std::string name = words[0];
    for (size_t i = 1; i < count; i++) name += " " + words[i];
    const OptionRow* row = find(name);
    if (!row || !(row->places & place)) continue;
    value.clear();
    for (size_t i = count; i < words.size(); i++) value += (value.empty() ? "" : " ") + words[i];
    return row;
  }
  return nullptr;
}

std::string OptionRegistry::set(const OptionRow& row, const std::string& value) const {
  switch (row.type) {
    case OptionType::Spin: {
      const long long number = std::strtoll(value.c_str(), nullptr, 10);
      return row.apply(std::to_string(std::clamp<long long>(number, row.min, row.max)));
    }
    case OptionType::Check: {
      const bool on = sameName(value, "true") || value == "1" || sameName(value, "on");
      const bool off = sameName(value, "false") || value == "0" || sameName(value, "off");
      if (!on && !off) return row.name + ": not a true/false value: " + value;
      return row.apply(checkText(on));
    }
    case OptionType::Combo:
      for (const std::string& choice : row.choices)
        if (sameName(choice, value)) return row.apply(choice);
      for (const std::string& choice : row.unlistedChoices)
        if (sameName(choice, value)) return row.apply(choice);
      return row.name + ": no such choice: " + value;
    case OptionType::String:
      return row.apply(value);
    case OptionType::Button:
      return row.apply("");
  }
  return "";
}
