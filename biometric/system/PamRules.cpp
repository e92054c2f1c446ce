// The rules of one PAM configuration file, as Linux-PAM reads its lines.
#include "PamRules.h"

namespace {

constexpr std::string_view kDebianInclude = "@include";
constexpr char kOptionalMark = '-';

// PAM compares types and control keywords without regard to case.
std::string Lowercase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Logical lines: continuations joined, comments cut off.
std::vector<std::string> LogicalLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    bool inComment = false;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char c = text[index];
        // A backslash inside a comment is part of the comment, as PAM cuts comments first.
        if (c == '\\' && !inComment && index + 1 < text.size() && text[index + 1] == '\n') {
            ++index;
            current += ' ';
            continue;
        }
        if (c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            inComment = false;
            continue;
        }
        if (c == '#') {
            inComment = true;
        }
        if (!inComment) {
            current += c;
        }
    }
    lines.push_back(std::move(current));
    return lines;
}

std::vector<std::string> Tokens(std::string_view line) {
    std::vector<std::string> tokens;
    std::size_t index = 0;
    while (index < line.size()) {
        while (index < line.size() && IsBlank(line[index])) {
            ++index;
        }
        if (index >= line.size()) {
            break;
        }
        std::string token;
        if (line[index] == '[') {
            // A bracketed token ends at its closing bracket, blanks and all.
            const std::size_t close = line.find(']', index);
            const std::size_t end = close == std::string_view::npos ? line.size() : close + 1;
            token = line.substr(index, end - index);
            index = end;
        } else {
            while (index < line.size() && !IsBlank(line[index])) {
                token += line[index++];
            }
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

}  // namespace

std::vector<PamRule> ParsePamRules(std::string_view text) {
    std::vector<PamRule> rules;
    for (const std::string& line : LogicalLines(text)) {
        std::vector<std::string> tokens = Tokens(line);
        if (tokens.size() >= 2 && tokens[0] == kDebianInclude) {
            PamRule rule;
            rule.type = tokens[0];
            rule.module = tokens[1];
            rules.push_back(std::move(rule));
            continue;
        }
        if (tokens.size() < 3) {
            continue;
        }
        PamRule rule;
        rule.type = Lowercase(tokens[0]);
        if (!rule.type.empty() && rule.type.front() == kOptionalMark) {
            rule.optional = true;
            rule.type.erase(0, 1);
        }
        rule.control = tokens[1].front() == '[' ? tokens[1] : Lowercase(tokens[1]);
        rule.module = tokens[2];
        rule.arguments.assign(tokens.begin() + 3, tokens.end());
        rules.push_back(std::move(rule));
    }
    return rules;
}
