#include "ui/win32/speed_chart_window.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/wide_path.h"
#include "report/speed_chart.h"
#include "ui/layout/dialog_layout.h"
#include "ui/win32/window_text.h"

namespace kalvex::win32 {

namespace {

constexpr wchar_t kClassName[] = L"KalvexSpeedChart";
constexpr UINT_PTR kTimerId = 1;

struct ChartWindow {
  CTestEngine& engine;
  SpeedChart chart;
};

COLORREF ParseColour(const std::string& hex) {
  // "#rrggbb"
  const unsigned long value = std::strtoul(hex.c_str() + 1, nullptr, 16);
  return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

void DrawLabel(HDC dc, int x, int y, const std::string& text) {
  const std::wstring wide = Utf8ToWide(text);
  TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

int TextWidth(HDC dc, const std::string& text) {
  const std::wstring wide = Utf8ToWide(text);
  SIZE size = {};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  return size.cx;
}

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// The same picture as the Qt window's and the SVG file's: grid with tick
// labels, frame, axis labels, legend, and each step's rate as a flat line
// from its start to its end.
void Paint(HDC dc, const RECT& client, const SpeedChart& chart) {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  TEXTMETRICW metrics;
  GetTextMetricsW(dc, &metrics);
  const int line = metrics.tmHeight;
  const int left = TextWidth(dc, "00000") + 16, top = line * 2 + 8;
  const int w = client.right - left - 16, h = client.bottom - top - (line * 2 + 12);
  if (w <= 0 || h <= 0) return;
  const auto x_of = [&](double x) { return left + static_cast<int>(x / chart.x_max * w); };
  const auto y_of = [&](double y) { return top + h - static_cast<int>(y / chart.y_max * h); };

  HPEN grid = CreatePen(PS_SOLID, 1, RGB(0xDD, 0xDD, 0xDD));
  HPEN frame = CreatePen(PS_SOLID, 1, RGB(0x33, 0x33, 0x33));
  HGDIOBJ old_pen = SelectObject(dc, grid);
  for (size_t i = 0; i < chart.y_ticks.size(); ++i) {
    const int y = y_of(chart.y_ticks[i]);
    Line(dc, left, y, left + w, y);
    DrawLabel(dc, left - 6 - TextWidth(dc, chart.y_tick_labels[i]), y - line / 2,
             chart.y_tick_labels[i]);
  }
  for (size_t i = 0; i < chart.x_ticks.size(); ++i) {
    const int x = x_of(chart.x_ticks[i]);
    Line(dc, x, top, x, top + h);
    DrawLabel(dc, x - TextWidth(dc, chart.x_tick_labels[i]) / 2, top + h + 2,
             chart.x_tick_labels[i]);
  }
  SelectObject(dc, frame);
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, left, top, left + w + 1, top + h + 1);
  DrawLabel(dc, left + (w - TextWidth(dc, chart.x_label)) / 2, client.bottom - line - 4,
           chart.x_label);
  DrawLabel(dc, 4, top - 2 * line - 2, chart.y_label);

  int legend_x = left + w;
  for (auto it = chart.series.rbegin(); it != chart.series.rend(); ++it) {
    legend_x -= TextWidth(dc, it->name) + 40;
    HPEN pen = CreatePen(PS_SOLID, 3, ParseColour(it->color));
    SelectObject(dc, pen);
    Line(dc, legend_x, top - 10, legend_x + 20, top - 10);
    SelectObject(dc, frame);
    DeleteObject(pen);
    DrawLabel(dc, legend_x + 26, top - 10 - line / 2, it->name);
  }
  for (const ChartSeries& series : chart.series) {
    std::vector<POINT> points;
    double previous = 0;
    for (const auto& [x, y] : series.points) {
      points.push_back({x_of(previous), y_of(y)});
      points.push_back({x_of(x), y_of(y)});
      previous = x;
    }
    HPEN pen = CreatePen(PS_SOLID, 2, ParseColour(series.color));
    SelectObject(dc, pen);
    Polyline(dc, points.data(), static_cast<int>(points.size()));
    SelectObject(dc, frame);
    DeleteObject(pen);
  }
  SelectObject(dc, old_pen);
  DeleteObject(grid);
  DeleteObject(frame);
}

void Refresh(HWND window, ChartWindow& state) {
  state.chart = BuildSpeedChart(state.engine.CopyProfile());
  InvalidateRect(window, nullptr, FALSE);
}

LRESULT CALLBACK ChartProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<ChartWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_TIMER:
      if (state != nullptr) Refresh(window, *state);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      if (state != nullptr) Paint(dc, client, state->chart);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills everything
    case WM_SIZE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_NCDESTROY:
      KillTimer(window, kTimerId);
      delete state;
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void RegisterChartClass() {
  static const bool registered = [] {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = ChartProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hIcon = LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(IDI_KALVEX));
    window_class.lpszClassName = kClassName;
    return RegisterClassExW(&window_class) != 0;
  }();
  (void)registered;
}

}  // namespace

HWND OpenSpeedChartWindow(CTestEngine& engine, HWND owner) {
  RegisterChartClass();
  auto* state = new ChartWindow{engine, SpeedChart()};
  HWND window = CreateWindowExW(0, kClassName, Utf8ToWide(SpeedChartWindowTitle()).c_str(),
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 720, 360, owner,
                                nullptr, GetModuleHandleW(nullptr), state);
  if (window == nullptr) {
    delete state;
    return nullptr;
  }
  Refresh(window, *state);
  SetTimer(window, kTimerId, 1000, nullptr);
  ShowWindow(window, SW_SHOW);
  return window;
}

}  // namespace kalvex::win32
