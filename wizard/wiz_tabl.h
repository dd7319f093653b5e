#pragma once
// Step 3: the tables and queries to convert. Plain tables come from the
// connected Oracle schema; queries are named SELECT texts whose results
// become Access tables of their own.
#include <QListWidget>
#include <map>
#include <string>
#include <vector>

#include "GUI2/wiz_page.h"

class QLabel;
class QPushButton;

// A sorted list whose horizontal scroll range covers at least the extent it
// was given, whatever its items are now: a list that once held a long name
// keeps room for it, as the page's lists always have.
class extent_list : public QListWidget {
  Q_OBJECT
 public:
  explicit extent_list(QWidget* parent);
  int horizontal_extent() const { return extent_; }
  void set_horizontal_extent(int pixels);
  // The width a name needs in this list.
  int text_extent(const QString& text) const;

 protected:
  void updateGeometries() override;

 private:
  int extent_ = 0;
};

class sel_tables_page : public wizard_page {
  Q_OBJECT
 public:
  static constexpr int page_template = 127;
  using query_map = std::map<std::u16string, std::u16string>;  // name -> select text

  sel_tables_page();

  // Rebuilds both lists from the converter's tables and selection.
  bool page_init() override;
  // Stores the selection into the converter; asks first when tables are
  // there but none is chosen.
  int on_next() override;

  // The lists from given data, as page_init fills them from the converter:
  // all tables on the left, then the saved selection (the user-query map and
  // the chosen plain tables) moved or added to the right, then the queries
  // not chosen on the left.
  void fill(const std::vector<std::u16string>& tables, const std::vector<std::u16string>& chosen,
            const query_map& selected, const query_map& available);

  void on_add();
  void on_add_all();
  void on_delete();
  void on_del_all();
  void on_add_query();
  void on_edit_query();

  extent_list* left_list() const { return left_; }
  extent_list* right_list() const { return right_; }
  const query_map& selected_queries() const { return selected_queries_; }
  const query_map& available_queries() const { return available_queries_; }

 private:
  bool is_query(const std::u16string& name) const;
  // The right list only ever widens.
  void add_right(const QString& name);
  void move_right(int index);
  void move_left(int index);
  // The row of the list's selected item, or -1.
  static int selected_row(const QListWidget* list);
  // Case-insensitive, against every item.
  static bool in_list(const QListWidget* list, const QString& name);
  // Exact; the row or -1.
  static int find_exact(const QListWidget* list, const QString& name);

  QLabel* description_;
  QLabel* left_label_;
  QLabel* right_label_;
  extent_list* left_;
  extent_list* right_;
  QPushButton* add_;
  QPushButton* add_all_;
  QPushButton* remove_;
  QPushButton* remove_all_;
  QPushButton* add_query_;
  query_map selected_queries_;
  query_map available_queries_;
};
