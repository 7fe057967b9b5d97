#include "history/RecordFilter.h"

#include "history/RecordColumn.h"

#include <optional>

struct RecordFilter::Node {
  enum class Op { And, Or, Eq, Ne, Lt, Gt, Le, Ge, IsNull, IsNotNull };
  Op op = Op::Eq;
  std::unique_ptr<Node> left, right; // And / Or
  int column = -1;                   // comparisons
  bool literalIsText = false;
  QString text;
  double number = 0;
  bool numberIsInteger = false;
  qint64 integer = 0;
};

namespace {
using Node = RecordFilter::Node;

struct Token {
  enum class Kind { End, Name, Number, Text, Op, Open, Close, Error } kind = Kind::End;
  QString text;
};

class Lexer {
public:
  explicit Lexer(const QString &s) : s_(s) {}

  Token Next() {
    while (pos_ < s_.size() && s_[pos_].isSpace())
      ++pos_;
    if (pos_ >= s_.size())
      return {Token::Kind::End, {}};
    const QChar c = s_[pos_];
    if (c == u'(') {
      ++pos_;
      return {Token::Kind::Open, QStringLiteral("(")};
    }
    if (c == u')') {
      ++pos_;
      return {Token::Kind::Close, QStringLiteral(")")};
    }
    if (c == u'\'')
      return QuotedText();
    if (c == u'[')
      return BracketName();
    if (c == u'=' || c == u'<' || c == u'>')
      return Operator();
    if (c.isDigit() || c == u'-' || c == u'+' || c == u'.')
      return NumberToken();
    if (c.isLetter() || c == u'_')
      return NameToken();
    return {Token::Kind::Error, {}};
  }

private:
  Token QuotedText() {
    QString out;
    ++pos_;
    while (pos_ < s_.size()) {
      if (s_[pos_] == u'\'') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == u'\'') {
          out += u'\'';
          pos_ += 2;
          continue;
        }
        ++pos_;
        return {Token::Kind::Text, out};
      }
      out += s_[pos_++];
    }
    return {Token::Kind::Error, {}};
  }
  Token BracketName() {
    const auto close = s_.indexOf(u']', pos_ + 1);
    if (close < 0)
      return {Token::Kind::Error, {}};
    Token t{Token::Kind::Name, s_.mid(pos_ + 1, close - pos_ - 1)};
    pos_ = close + 1;
    return t;
  }
  Token Operator() {
    QString op(s_[pos_++]);
    if (pos_ < s_.size() && op != u'=' && (s_[pos_] == u'=' || (op == u'<' && s_[pos_] == u'>')))
      op += s_[pos_++];
    return {Token::Kind::Op, op};
  }
  Token NumberToken() {
    const auto start = pos_;
    if (s_[pos_] == u'-' || s_[pos_] == u'+')
      ++pos_;
    while (pos_ < s_.size() &&
           (s_[pos_].isDigit() || s_[pos_] == u'.' || s_[pos_] == u'e' || s_[pos_] == u'E' ||
            ((s_[pos_] == u'-' || s_[pos_] == u'+') &&
             (s_[pos_ - 1] == u'e' || s_[pos_ - 1] == u'E'))))
      ++pos_;
    return {Token::Kind::Number, s_.mid(start, pos_ - start)};
  }
  Token NameToken() {
    const auto start = pos_;
    while (pos_ < s_.size() && (s_[pos_].isLetterOrNumber() || s_[pos_] == u'_'))
      ++pos_;
    return {Token::Kind::Name, s_.mid(start, pos_ - start)};
  }

  const QString &s_;
  qsizetype pos_ = 0;
};

class Parser {
public:
  Parser(const QString &text, const QStringList &fields) : lexer_(text), fields_(fields) {
    Advance();
  }

  std::unique_ptr<Node> ParseAll() {
    auto root = ParseOr();
    if (!root || token_.kind != Token::Kind::End)
      return nullptr;
    return root;
  }

private:
  void Advance() { token_ = lexer_.Next(); }
  bool IsKeyword(const char *word) const {
    return token_.kind == Token::Kind::Name &&
           token_.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
  }

  std::unique_ptr<Node> Join(Node::Op op, std::unique_ptr<Node> l, std::unique_ptr<Node> r) {
    auto n = std::make_unique<Node>();
    n->op = op;
    n->left = std::move(l);
    n->right = std::move(r);
    return n;
  }

  // A run of `next` joined by `keyword`, left to right.
  std::unique_ptr<Node> ParseChain(const char *keyword, Node::Op op,
                                   std::unique_ptr<Node> (Parser::*next)()) {
    auto left = (this->*next)();
    while (left && IsKeyword(keyword)) {
      Advance();
      auto right = (this->*next)();
      if (!right)
        return nullptr;
      left = Join(op, std::move(left), std::move(right));
    }
    return left;
  }
  std::unique_ptr<Node> ParseOr() { return ParseChain("OR", Node::Op::Or, &Parser::ParseAnd); }
  std::unique_ptr<Node> ParseAnd() {
    return ParseChain("AND", Node::Op::And, &Parser::ParsePrimary);
  }

  std::unique_ptr<Node> ParsePrimary() {
    if (token_.kind == Token::Kind::Open) {
      if (++depth_ > MaxDepth)
        return nullptr;
      Advance();
      auto inner = ParseOr();
      --depth_;
      if (!inner || token_.kind != Token::Kind::Close)
        return nullptr;
      Advance();
      return inner;
    }
    if (token_.kind != Token::Kind::Name || IsKeyword("AND") || IsKeyword("OR"))
      return nullptr;
    auto n = std::make_unique<Node>();
    for (qsizetype i = 0; i < fields_.size(); ++i)
      if (fields_[i].compare(token_.text, Qt::CaseInsensitive) == 0)
        n->column = int(i);
    if (n->column < 0)
      return nullptr;
    Advance();
    if (IsKeyword("IS"))
      return ParseNullTest(std::move(n));
    if (token_.kind != Token::Kind::Op)
      return nullptr;
    static const std::pair<const char *, Node::Op> ops[] = {
        {"=", Node::Op::Eq}, {"<>", Node::Op::Ne}, {"<", Node::Op::Lt},
        {">", Node::Op::Gt}, {"<=", Node::Op::Le}, {">=", Node::Op::Ge}};
    bool known = false;
    for (const auto &[text, op] : ops)
      if (token_.text == QLatin1String(text)) {
        n->op = op;
        known = true;
      }
    if (!known)
      return nullptr;
    Advance();
    if (token_.kind == Token::Kind::Text) {
      n->literalIsText = true;
      n->text = token_.text;
    } else if (token_.kind == Token::Kind::Number) {
      bool ok = false;
      n->integer = token_.text.toLongLong(&ok);
      n->numberIsInteger = ok;
      n->number = token_.text.toDouble(&ok);
      if (!ok)
        return nullptr;
    } else {
      return nullptr;
    }
    Advance();
    return n;
  }

  // "IS NULL" / "IS NOT NULL" after a field name.
  std::unique_ptr<Node> ParseNullTest(std::unique_ptr<Node> n) {
    Advance();
    n->op = Node::Op::IsNull;
    if (IsKeyword("NOT")) {
      n->op = Node::Op::IsNotNull;
      Advance();
    }
    if (!IsKeyword("NULL"))
      return nullptr;
    Advance();
    return n;
  }

  static constexpr int MaxDepth = 64;
  Lexer lexer_;
  const QStringList &fields_;
  int depth_ = 0;
  Token token_;
};

std::optional<double> AsNumber(const QString &s) {
  bool ok = false;
  const double d = s.trimmed().toDouble(&ok);
  return ok ? std::optional<double>(d) : std::nullopt;
}

template <class T> int Order(const T &a, const T &b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Ordering of a cell against the literal; nothing when they cannot be compared.
std::optional<int> Compare(const RecordColumn &col, int row, const Node &n) {
  if (col.IsNull(row))
    return std::nullopt;
  std::optional<double> number;
  const QString *text = nullptr;
  QString variantText;
  switch (col.kind()) {
  case RecordColumn::Kind::Integer:
    if (!n.literalIsText && n.numberIsInteger)
      return Order(col.IntegerAt(row), n.integer);
    number = double(col.IntegerAt(row));
    break;
  case RecordColumn::Kind::Real:
    number = col.RealAt(row);
    break;
  case RecordColumn::Kind::Text:
    text = &col.TextAt(row);
    break;
  case RecordColumn::Kind::Variant: {
    const QVariant &v = col.VariantAt(row);
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
      variantText = v.toString();
      text = &variantText;
    } else {
      bool ok = false;
      const double d = v.toDouble(&ok);
      if (!ok)
        return std::nullopt;
      number = d;
    }
    break;
  }
  case RecordColumn::Kind::Empty:
    return std::nullopt;
  }
  if (text) {
    if (n.literalIsText)
      return Order(text->compare(n.text), 0);
    number = AsNumber(*text);
    if (!number)
      return std::nullopt;
    return Order(*number, n.number);
  }
  if (n.literalIsText) {
    const auto literal = AsNumber(n.text);
    if (!literal)
      return std::nullopt;
    return Order(*number, *literal);
  }
  if (*number != *number) // NaN
    return std::nullopt;
  return Order(*number, n.number);
}

bool Evaluate(const Node &n, const std::vector<RecordColumn> &columns, int row) {
  switch (n.op) {
  case Node::Op::And:
    return Evaluate(*n.left, columns, row) && Evaluate(*n.right, columns, row);
  case Node::Op::Or:
    return Evaluate(*n.left, columns, row) || Evaluate(*n.right, columns, row);
  case Node::Op::IsNull:
    return columns[std::size_t(n.column)].IsNull(row);
  case Node::Op::IsNotNull:
    return !columns[std::size_t(n.column)].IsNull(row);
  default:
    break;
  }
  const auto order = Compare(columns[std::size_t(n.column)], row, n);
  if (!order)
    return false;
  switch (n.op) {
  case Node::Op::Eq:
    return *order == 0;
  case Node::Op::Ne:
    return *order != 0;
  case Node::Op::Lt:
    return *order < 0;
  case Node::Op::Gt:
    return *order > 0;
  case Node::Op::Le:
    return *order <= 0;
  case Node::Op::Ge:
    return *order >= 0;
  default:
    return false;
  }
}
} // namespace

RecordFilter::RecordFilter() = default;
RecordFilter::~RecordFilter() = default;
RecordFilter::RecordFilter(RecordFilter &&) noexcept = default;
RecordFilter &RecordFilter::operator=(RecordFilter &&) noexcept = default;

bool RecordFilter::Compile(const QString &text, const QStringList &fieldNames) {
  root_.reset();
  valid_ = true;
  if (text.trimmed().isEmpty())
    return true;
  root_ = Parser(text, fieldNames).ParseAll();
  valid_ = root_ != nullptr;
  return valid_;
}

bool RecordFilter::PassesAll() const {
  return valid_ && !root_;
}

bool RecordFilter::Passes(const std::vector<RecordColumn> &columns, int row) const {
  if (!valid_)
    return false;
  return !root_ || Evaluate(*root_, columns, row);
}
