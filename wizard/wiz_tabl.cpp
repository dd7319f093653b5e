#include "wizard/wiz_tabl.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "GUI2/wiz_shel.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"
#include "wizard/wiz_qdlg.h"

namespace {
const char description_text[] = "Select the Oracle tables to convert into MS Access format.";

std::u16string text_of(const QListWidgetItem* item) { return item->text().toStdU16String(); }
}  // namespace

extent_list::extent_list(QWidget* parent) : QListWidget(parent) {
  setSortingEnabled(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void extent_list::set_horizontal_extent(int pixels) {
  extent_ = pixels;
  updateGeometries();
}

int extent_list::text_extent(const QString& text) const {
  // The item's own margins beside the text.
  return fontMetrics().horizontalAdvance(text) + 2 * frameWidth() + 8;
}

void extent_list::updateGeometries() {
  QListWidget::updateGeometries();
  const int needed = extent_ - viewport()->width();
  if (needed > horizontalScrollBar()->maximum()) {
    horizontalScrollBar()->setRange(0, needed);
    horizontalScrollBar()->setPageStep(viewport()->width());
  }
}

sel_tables_page::sel_tables_page()
    : wizard_page(page_template, wizard_page_kind::interior, 1005),
      description_(page_text(QString::fromLatin1(description_text), this)),
      left_label_(new QLabel(this)), right_label_(new QLabel(this)), left_(new extent_list(this)),
      right_(new extent_list(this)), add_(new QPushButton(QStringLiteral("A&dd >"), this)),
      add_all_(new QPushButton(QStringLiteral("Add a&ll >"), this)),
      remove_(new QPushButton(QStringLiteral("< &Remove"), this)),
      remove_all_(new QPushButton(QStringLiteral("< Re&move all"), this)),
      add_query_(new QPushButton(QStringLiteral("&Add Query"), this)) {
  setTitle(QStringLiteral("Step 3 of 4"));
  setSubTitle(QStringLiteral("Select tables to convert"));
  description_->setObjectName(QStringLiteral("1337"));
  left_label_->setObjectName(QStringLiteral("1334"));
  left_label_->setBuddy(left_);
  right_label_->setObjectName(QStringLiteral("1312"));
  right_label_->setBuddy(right_);
  left_->setObjectName(QStringLiteral("1317"));
  right_->setObjectName(QStringLiteral("1318"));
  add_->setObjectName(QStringLiteral("1101"));
  add_all_->setObjectName(QStringLiteral("1102"));
  remove_->setObjectName(QStringLiteral("1111"));
  remove_all_->setObjectName(QStringLiteral("1110"));
  add_query_->setObjectName(QStringLiteral("1114"));
  add_query_->hide();  // shown once the page has its lists

  auto* buttons = new QVBoxLayout;
  buttons->addStretch();
  buttons->addWidget(add_);
  buttons->addWidget(add_all_);
  buttons->addSpacing(12);
  buttons->addWidget(remove_);
  buttons->addWidget(remove_all_);
  buttons->addStretch();
  buttons->addWidget(add_query_);

  auto* grid = new QGridLayout(this);
  grid->addWidget(description_, 0, 0, 1, 3);
  grid->setRowMinimumHeight(1, 6);
  grid->addWidget(left_label_, 2, 0);
  grid->addWidget(right_label_, 2, 2);
  grid->addWidget(left_, 3, 0);
  grid->addLayout(buttons, 3, 1);
  grid->addWidget(right_, 3, 2);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(3, 1);

  connect(add_, &QPushButton::clicked, this, &sel_tables_page::on_add);
  connect(add_all_, &QPushButton::clicked, this, &sel_tables_page::on_add_all);
  connect(remove_, &QPushButton::clicked, this, &sel_tables_page::on_delete);
  connect(remove_all_, &QPushButton::clicked, this, &sel_tables_page::on_del_all);
  connect(add_query_, &QPushButton::clicked, this, &sel_tables_page::on_add_query);
  connect(left_, &QListWidget::itemDoubleClicked, this, &sel_tables_page::on_add);
  connect(right_, &QListWidget::itemDoubleClicked, this, &sel_tables_page::on_edit_query);
}

bool sel_tables_page::page_init() {
  description_->setText(QString::fromLatin1(description_text));
  left_label_->setText(QStringLiteral("&Available tables:"));
  right_label_->setText(QStringLiteral("&Selected tables:"));
  // Without a converter (a sheet on its own) there is nothing to list.
  dunmarrow_convertor* converter = dunmarrow_convertor::instance();
  if (!converter) {
    fill({}, {}, {}, {});
  } else {
    const std::vector<std::u16string> chosen = converter->selected_tables();
    const query_map selected = converter->selected_objects();
    const query_map available = converter->available_queries();
    fill(converter->get_all_tables(), chosen, selected, available);
  }
  return true;
}

void sel_tables_page::fill(const std::vector<std::u16string>& tables,
                           const std::vector<std::u16string>& chosen, const query_map& selected,
                           const query_map& available) {
  // Rebuilt from what was last stored: what the page held when left by Back
  // must not come back unseen on the next Next.
  selected_queries_.clear();
  available_queries_.clear();
  left_->clear();
  right_->clear();
  int widest = 0;
  for (const std::u16string& name : tables) {
    const QString text = QString::fromStdU16String(name);
    left_->addItem(text);
    widest = std::max(widest, left_->text_extent(text));
  }
  left_->set_horizontal_extent(widest);
  if (left_->count() > 0) left_->setCurrentRow(0);
  add_query_->show();

  for (const auto& [name, select] : selected) {
    const QString text = QString::fromStdU16String(name);
    if (!select.empty() && !in_list(left_, text) && !in_list(right_, text)) {
      add_right(text);
      selected_queries_[name] = select;
    } else if (const int row = find_exact(left_, text); row >= 0) {
      move_right(row);
    }
  }
  // Next stores the plain tables in their own list only; the user-query map
  // holds them just after a run or a profile.
  for (const std::u16string& name : chosen)
    if (const int row = find_exact(left_, QString::fromStdU16String(name)); row >= 0) move_right(row);

  available_queries_ = available;
  for (const auto& [name, select] : available) {
    const QString text = QString::fromStdU16String(name);
    // A query chosen already stays on the right only.
    if (!select.empty() && !in_list(left_, text) && !in_list(right_, text)) left_->addItem(text);
  }
}

bool sel_tables_page::is_query(const std::u16string& name) const {
  return selected_queries_.count(name) != 0 || available_queries_.count(name) != 0;
}

void sel_tables_page::add_right(const QString& name) {
  right_->addItem(name);
  right_->set_horizontal_extent(std::max(right_->horizontal_extent(), right_->text_extent(name)));
}

void sel_tables_page::move_right(int index) {
  QListWidgetItem* item = left_->item(index);
  const std::u16string name = text_of(item);
  add_right(item->text());
  delete left_->takeItem(index);
  if (auto found = available_queries_.find(name); found != available_queries_.end()) {
    selected_queries_[name] = found->second;
    available_queries_.erase(found);
  }
}

void sel_tables_page::move_left(int index) {
  QListWidgetItem* item = right_->item(index);
  const std::u16string name = text_of(item);
  left_->addItem(item->text());
  delete right_->takeItem(index);
  if (auto found = selected_queries_.find(name); found != selected_queries_.end()) {
    available_queries_[name] = found->second;
    selected_queries_.erase(found);
  }
}

int sel_tables_page::selected_row(const QListWidget* list) {
  const QList<QListWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? -1 : list->row(items.first());
}

bool sel_tables_page::in_list(const QListWidget* list, const QString& name) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) return true;
  return false;
}

int sel_tables_page::find_exact(const QListWidget* list, const QString& name) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text() == name) return i;
  return -1;
}

void sel_tables_page::on_add() {
  trace(2, "sel_tables_page::on_add");
  const int row = selected_row(left_);
  if (row < 0) return;
  move_right(row);
  if (left_->count() > 0) {
    left_->setCurrentRow(std::min(row, left_->count() - 1));
  } else {
    right_->setFocus();
    right_->setCurrentRow(0);
  }
}

void sel_tables_page::on_delete() {
  trace(2, "sel_tables_page::on_delete");
  const int row = selected_row(right_);
  if (row < 0) return;
  move_left(row);
  if (right_->count() > 0) {
    right_->setCurrentRow(std::min(row, right_->count() - 1));
  } else {
    left_->setFocus();
    left_->setCurrentRow(0);
  }
}

void sel_tables_page::on_add_all() {
  trace(2, "sel_tables_page::on_add_all");
  while (left_->count() > 0) move_right(0);
  right_->setFocus();
  right_->setCurrentRow(0);
}

void sel_tables_page::on_del_all() {
  trace(2, "sel_tables_page::on_del_all");
  while (right_->count() > 0) move_left(0);
  left_->setFocus();
  left_->setCurrentRow(0);
}

void sel_tables_page::on_add_query() {
  trace(2, "sel_tables_page::on_add_query");
  std::u16string name;
  std::u16string query;
  for (;;) {
    set_query_dlg editor(name, query, this);
    if (editor.exec() != QDialog::Accepted) return;
    name = editor.name();
    query = editor.query();
    const QString text = QString::fromStdU16String(name);
    if (!in_list(left_, text) && !in_list(right_, text)) {
      add_right(text);
      selected_queries_[name] = query;
      return;
    }
    wizard_shell::get().message(QStringLiteral("Duplicate table name. Try again."));
  }
}

void sel_tables_page::on_edit_query() {
  trace(2, "sel_tables_page::on_edit_query");
  const int row = selected_row(right_);
  if (row < 0) return;
  const std::u16string old_name = text_of(right_->item(row));
  const auto found = selected_queries_.find(old_name);
  if (found == selected_queries_.end()) return;
  set_query_dlg editor(old_name, found->second, this);
  if (editor.exec() != QDialog::Accepted) return;
  selected_queries_.erase(found);
  selected_queries_[editor.name()] = editor.query();
  delete right_->takeItem(row);
  const QString text = QString::fromStdU16String(editor.name());
  add_right(text);
}

int sel_tables_page::on_next() {
  if (left_->count() > 0 && right_->count() == 0 &&
      !wizard_shell::get().question(QStringLiteral("There are no tables selected. Continue anyway?"),
                                    wizard_shell::default_button::no))
    return -1;
  std::vector<std::u16string> tables;
  for (int i = 0; i < right_->count(); ++i) {
    const std::u16string name = text_of(right_->item(i));
    if (!is_query(name)) tables.push_back(name);
  }
  if (dunmarrow_convertor* converter = dunmarrow_convertor::instance()) {
    converter->selected_tables() = std::move(tables);
    converter->selected_objects() = selected_queries_;
    converter->available_queries() = available_queries_;
  }
  return 0;
}
