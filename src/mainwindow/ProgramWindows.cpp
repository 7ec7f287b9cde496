#include "mainwindow/ProgramWindows.h"

#include "mainwindow/frmMain.h"
#include "mainwindow/frmMenu.h"
#include "related/frmBrowser.h"
#include "search/frmImage.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"

namespace surfdeck {

ProgramWindows::ProgramWindows(AppContext& app, Automation& automation, Make<frmMain> makeMain,
                               Make<frmBrowser> makeRelated, Make<frmWeb> makeWeb,
                               Make<frmNews> makeNews, Make<frmImage> makeImage,
                               Make<frmMenu> makeMenu)
    : tracking{app.desktop, app.loop, app.clock, automation},
      browser(app, tracking),
      main(std::move(makeMain)),
      related(std::move(makeRelated)),
      web(std::move(makeWeb)),
      news(std::move(makeNews)),
      image(std::move(makeImage)),
      menu(std::move(makeMenu)) {}

ProgramWindows::~ProgramWindows() = default;

}  // namespace surfdeck
