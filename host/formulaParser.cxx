#include <istream>
#include <sstream>
#include <string>

#include "flow/KXBase.h"

namespace {

const std::string kOperatorCharacters = "<>=!";

// Skips trailing blanks; true when nothing else follows.
bool AtEnd(std::istream& in) {
  in >> std::ws;
  return in.eof();
}

std::string ReadOperator(std::istream& in) {
  std::string op;
  in >> std::ws;
  while (in && in.peek() != std::char_traits<char>::eof() &&
         kOperatorCharacters.find(static_cast<char>(in.peek())) != std::string::npos) {
    op += static_cast<char>(in.get());
  }
  return op;
}

bool Compare(double left, const std::string& op, double right) {
  if (op == "<") return left < right;
  if (op == "<=") return left <= right;
  if (op == ">") return left > right;
  if (op == ">=") return left >= right;
  if (op == "==") return left == right;
  if (op == "!=") return left != right;
  return false;
}

// "true" or "false" alone; anything else is no truth word.
bool IsTruthWord(const std::string& text, bool& truth) {
  std::istringstream words(text);
  std::string word;
  if (!(words >> word) || !AtEnd(words)) return false;
  truth = word == "true";
  return truth || word == "false";
}

}  // namespace

bool formulaParser::eval() {
  bool truth = false;
  if (IsTruthWord(text, truth)) return truth;
  std::istringstream expression(text);
  double left = 0.0;
  if (!(expression >> left)) return false;
  const std::string op = ReadOperator(expression);
  if (op.empty()) return AtEnd(expression) && left != 0.0;
  double right = 0.0;
  return expression >> right && AtEnd(expression) && Compare(left, op, right);
}
