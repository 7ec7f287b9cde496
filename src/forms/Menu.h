#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace surfdeck::forms {

// One entry of a form's menu tree. A caption of "-" is a separator line. Entries of an
// indexed array (index >= 0) share a name; copies are loaded and unloaded at run time.
class MenuItem {
  public:
    MenuItem(std::string name, std::string caption, int index = -1)
        : name_(std::move(name)), caption_(std::move(caption)), index_(index) {}

    const std::string& name() const { return name_; }
    int index() const { return index_; }
    const std::string& caption() const { return caption_; }
    void setCaption(std::string v) { caption_ = std::move(v); }
    bool checked() const { return checked_; }
    void setChecked(bool v) { checked_ = v; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool v) { enabled_ = v; }
    bool visible() const { return visible_; }
    void setVisible(bool v) { visible_ = v; }
    const std::string& tag() const { return tag_; }
    void setTag(std::string v) { tag_ = std::move(v); }
    bool isSeparator() const { return caption_ == "-"; }

    // The click handler; for an indexed array it receives the entry's index.
    std::function<void(int index)> onClick;

    MenuItem& add(std::string name, std::string caption, int index = -1);
    const std::vector<std::unique_ptr<MenuItem>>& children() const { return children_; }
    MenuItem* child(const std::string& name, int index = -1);

    // Loads copy `index` of the indexed array `name` (a copy of its entry 0, with the
    // caption, tag and handler of entry 0), placed after the array's last entry.
    MenuItem& loadCopy(const std::string& name, int index);
    // Unloads copy `index` (> 0) of the array; entry 0 cannot be unloaded.
    void unloadCopy(const std::string& name, int index);
    // The highest loaded index of the array, -1 when there is none.
    int upperBound(const std::string& name) const;

    void choose() {
        if (onClick) onClick(index_);
    }

  private:
    std::string name_;
    std::string caption_;
    int index_;
    bool checked_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    std::string tag_;
    std::vector<std::unique_ptr<MenuItem>> children_;
};

}  // namespace surfdeck::forms
