#include "params/parameter_text.h"

namespace lumbrex {

namespace {

constexpr Char16 kComma = ',';

bool IsCWhiteSpace(Char16 c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The text after the first "," of `rest`; false when there is none.
bool SplitAtComma(TextView rest, TextView* field, TextView* after) {
  const size_t comma = rest.find(kComma);
  if (comma == TextView::npos) return false;
  *field = rest.substr(0, comma);
  *after = rest.substr(comma + 1);
  return true;
}

void Write(int32_t* out, int32_t value) {
  if (out != nullptr) *out = value;
}

void AppendDecimal(Text* out, int32_t value) {
  // Unsigned magnitude: INT32_MIN has no positive int32_t counterpart.
  uint32_t magnitude = static_cast<uint32_t>(value);
  if (value < 0) {
    out->push_back('-');
    magnitude = 0u - magnitude;
  }
  Char16 digits[10];
  size_t count = 0;
  do {
    digits[count++] = static_cast<Char16>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count > 0) out->push_back(digits[--count]);
}

}  // namespace

int32_t ParseDecimalNumber(TextView text) {
  size_t i = 0;
  while (i < text.size() && IsCWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Unsigned arithmetic: wrap-around is defined, overflow of int32_t is not.
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

bool ParsePortParameters(TextView text, int32_t* baudrate, int32_t* parity, int32_t* dataBits,
                         int32_t* stopBits, int32_t* flowControl) {
  TextView field, rest;
  // Baudrate.
  if (text.empty() || !SplitAtComma(text, &field, &rest)) return false;
  Write(baudrate, ParseDecimalNumber(field));
  // Parity letter, compared upper-cased and exactly; unknown: unwritten.
  if (rest.empty() || !SplitAtComma(rest, &field, &rest)) return false;
  if (field.size() == 1) {
    const Char16 letter = AsciiUpper(field[0]);
    for (int32_t code = LUMBREX_PARITY_NONE; code <= LUMBREX_PARITY_SPACE; ++code)
      if (letter == kParityLetters[code]) Write(parity, code);
  }
  // Data bits.
  if (rest.empty() || !SplitAtComma(rest, &field, &rest)) return false;
  Write(dataBits, ParseDecimalNumber(field));
  // Stop bits alone; the flow output stays unwritten.
  TextView flow;
  if (!SplitAtComma(rest, &field, &flow)) {
    Write(stopBits, ParseDecimalNumber(rest));
    return true;
  }
  // Stop bits, then the whole rest as the flow letter.
  Write(stopBits, ParseDecimalNumber(field));
  int32_t flowCode = LUMBREX_FLOW_NONE;
  for (int32_t code = LUMBREX_FLOW_XONXOFF; code <= LUMBREX_FLOW_HARDWARE; ++code)
    if (flow.size() == 1 && AsciiUpper(flow[0]) == kFlowLetters[code]) flowCode = code;
  Write(flowControl, flowCode);
  return true;
}

Text FormatPortParameters(int32_t baudrate, int32_t parity, int32_t dataBits, int32_t stopBits,
                          int32_t flowControl) {
  Text out;
  AppendDecimal(&out, baudrate);
  out.push_back(kComma);
  out.push_back(parity >= LUMBREX_PARITY_NONE && parity <= LUMBREX_PARITY_SPACE ? kParityLetters[parity] : Char16('?'));
  out.push_back(kComma);
  AppendDecimal(&out, dataBits);
  out.push_back(kComma);
  AppendDecimal(&out, stopBits);
  if (flowControl == LUMBREX_FLOW_XONXOFF || flowControl == LUMBREX_FLOW_HARDWARE) {
    out.push_back(kComma);
    out.push_back(kFlowLetters[flowControl]);
  }
  return out;
}

Text BuildParameterField(TextView parameterText, bool highBit, bool lowBit) {
  // Commas separate the command's own arguments, so they travel as "-".
  Text field(parameterText);
  for (auto& c : field)
    if (c == kComma) c = '-';
  field += LUMBREX_U16("|");
  field.push_back(highBit ? '1' : '0');
  field += LUMBREX_U16("|");
  field.push_back(lowBit ? '1' : '0');
  return field;
}

}  // namespace lumbrex
