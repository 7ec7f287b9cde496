#pragma once

class QWidget;

namespace surfdeck {

// An embedded browser that shows itself in a widget of ours; the form host puts that
// widget at the browser control's place on the form.
class QtEmbeddedWidget {
  public:
    virtual ~QtEmbeddedWidget() = default;
    virtual QWidget* widget() = 0;
};

}  // namespace surfdeck
