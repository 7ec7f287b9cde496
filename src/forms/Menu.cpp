#include "forms/Menu.h"

#include <algorithm>
#include <stdexcept>

namespace surfdeck::forms {

MenuItem& MenuItem::add(std::string name, std::string caption, int index) {
    children_.push_back(std::make_unique<MenuItem>(std::move(name), std::move(caption), index));
    return *children_.back();
}

MenuItem* MenuItem::child(const std::string& name, int index) {
    for (auto& c : children_) {
        if (c->name() == name && c->index() == index) return c.get();
    }
    return nullptr;
}

MenuItem& MenuItem::loadCopy(const std::string& name, int index) {
    MenuItem* first = child(name, 0);
    if (!first) throw std::invalid_argument("no menu array " + name);
    if (child(name, index)) throw std::invalid_argument("menu entry already loaded");
    auto last = std::find_if(children_.rbegin(), children_.rend(),
                             [&](const auto& c) { return c->name() == name; });
    auto copy = std::make_unique<MenuItem>(name, first->caption(), index);
    copy->setTag(first->tag());
    copy->onClick = first->onClick;
    auto& added = *copy;
    children_.insert(last.base(), std::move(copy));
    return added;
}

void MenuItem::unloadCopy(const std::string& name, int index) {
    if (index <= 0) throw std::invalid_argument("entry 0 of a menu array stays loaded");
    children_.erase(
        std::remove_if(children_.begin(), children_.end(),
                       [&](const auto& c) { return c->name() == name && c->index() == index; }),
        children_.end());
}

int MenuItem::upperBound(const std::string& name) const {
    int top = -1;
    for (const auto& c : children_) {
        if (c->name() == name) top = std::max(top, c->index());
    }
    return top;
}

}  // namespace surfdeck::forms
