#pragma once

// The script that every page of a tracked tab runs in a script world of our own. The page's
// scripts cannot see that world, so they can neither call our binding (to fake clicks or
// focus) nor disturb what we read from the document.
namespace surfdeck::chromium {

inline constexpr const char* kScriptWorld = "surfdeck";
inline constexpr const char* kReportBinding = "surfdeckReport";

// Reports mouse presses, context menus and the page's focus from the top frame only. The
// context menu is not prevented: the report reaches us after the browser has decided, so a
// receiver's answer cannot take the menu back (and the browser's own menu keeps working).
inline constexpr const char* kPageScript = R"JS((() => {
  if (window !== window.top || window.__surfdeckHooked) return;
  window.__surfdeckHooked = true;
  const report = (kind) => { try { surfdeckReport(kind); } catch (e) {} };
  addEventListener('mousedown', () => report('mousedown'), true);
  addEventListener('mouseup', () => report('mouseup'), true);
  addEventListener('contextmenu', () => report('contextmenu'), true);
  addEventListener('focus', (e) => { if (e.target === window) report('focus'); }, true);
  addEventListener('blur', (e) => { if (e.target === window) report('blur'); }, true);
  report(document.hasFocus() ? 'focus' : 'nofocus');
})();)JS";

}  // namespace surfdeck::chromium
