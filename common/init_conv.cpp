#include "common/init_conv.h"

#include <ctime>

#include "TK/tk_trace.h"

namespace {
conversion_front_end* g_front_end = nullptr;
conversion_com* g_com = nullptr;

void write_banner(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  trace(3, format, local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour,
        local.tm_min, local.tm_sec);
}
}  // namespace

void init_conversion::set_front_end(conversion_front_end* front_end) { g_front_end = front_end; }
void init_conversion::set_com(conversion_com* com) { g_com = com; }

console_line_scope::console_line_scope() : front_end_(g_front_end) {
  if (front_end_) front_end_->begin_console_line();
}

console_line_scope::~console_line_scope() {
  if (front_end_) front_end_->end_console_line();
}

init_conversion::init_conversion(std::atomic<bool>& finished, bool com_initialized)
    : finished_(finished), com_initialized_(com_initialized) {
  trace(2, "init_conversion::ctor");
  write_banner("Conversion started on %02d/%02d/%04d at %02d:%02d:%02d\n");
  if (!com_initialized_ && g_com) com_started_here_ = g_com->initialize();
  if (g_front_end) g_front_end->start_progress_timer(progress_period_ms);
}

init_conversion::~init_conversion() {
  trace(2, "init_conversion::dtor");
  if (com_started_here_ && g_com) g_com->uninitialize();
  write_banner("Conversion ended on %02d/%02d/%04d at %02d:%02d:%02d\n");
  finished_ = true;
}
