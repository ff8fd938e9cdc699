#include "app/verify_words.h"

#include "i18n/big5.h"

#include <cerrno>
#include <optional>
#include <system_error>
#include <vector>

namespace varnel {

namespace {

// One form of the engine's words and the window's Chinese for it. The
// parts in braces stand for text that varies, in the same order on both
// sides:
//   {name}  a list's or a folder's name, kept ("standard input" in words)
//   {n}     a number, kept
//   {why}   a reason: in words when the table knows it, else as it came
//   {known} a reason the table knows (the form fits no other text)
struct WordForm {
    std::string_view engine;
    std::string_view chinese;
};

// Why a file or a list was not read: what {why} and {known} stand for.
constexpr WordForm kReasons[] = {
    {"not found", "未找到"},
    {"is a folder", "是文件夹"},
    {"not a regular file, not read", "不是普通文件，未读取"},
    {"hidden file, not read", "隐藏文件，未读取"},
    {"changed while it was read (it became shorter)", "读取期间文件有变动（变短了）"},
    {"changed while it was read", "读取期间文件有变动"},
    {"cancelled", "已取消"},
    {"digest service failed", "摘要服务出错"},
    {"out of memory", "内存不足"},
    {"read error: {why}", "读取出错：{why}"},
    {"is a device, not a stream of lines", "是设备，不是逐行的数据流"},
    {"not a regular file, FIFO or pipe", "不是普通文件、FIFO 或管道"},
};

// What is said of a list. The more particular forms first: the first that
// fits the whole text wins.
constexpr WordForm kMessages[] = {
    {"{name}: line {n}: improperly formatted checksum line (and {n} other)",
     "{name}：第 {n} 行：校验行格式错误（另有 {n} 行）"},
    {"{name}: line {n}: improperly formatted checksum line (and {n} others)",
     "{name}：第 {n} 行：校验行格式错误（另有 {n} 行）"},
    {"{name}: line {n}: improperly formatted checksum line", "{name}：第 {n} 行：校验行格式错误"},
    {"{name}: line {n}: improperly formatted report line (and {n} other)",
     "{name}：第 {n} 行：报告行格式错误（另有 {n} 行）"},
    {"{name}: line {n}: improperly formatted report line (and {n} others)",
     "{name}：第 {n} 行：报告行格式错误（另有 {n} 行）"},
    {"{name}: line {n}: improperly formatted report line", "{name}：第 {n} 行：报告行格式错误"},
    {"{name}: line {n}: not a checksum line of a known format",
     "{name}：第 {n} 行：不是已知格式的校验行"},
    {"{name}: no checksum lines", "{name}：没有校验行"},
    {"{name}: no file was verified", "{name}：没有校验任何文件"},
    {"{name}: cannot read: {why}", "{name}：无法读取：{why}"},
    {"{name}: cannot list folder: {why}", "{name}：无法列出文件夹内容：{why}"},
    {"audit: not finished: a list could not be read", "查找新文件未完成：有清单无法读取"},
    {"{name}: {known}", "{name}：{known}"},
};

// The system's error texts a read or a list may meet, by error number: the
// text is the C library's own, so it matches whatever its wording.
struct ErrorWords {
    int code;
    std::string_view chinese;
};

constexpr ErrorWords kErrors[] = {
    {EACCES, "权限不足"},
    {EPERM, "不允许的操作"},
    {ENOENT, "没有那个文件或文件夹"},
    {ENOTDIR, "路径中有一项不是文件夹"},
    {EISDIR, "是文件夹"},
    {EIO, "输入/输出错误"},
    {ENAMETOOLONG, "文件名过长"},
    {ELOOP, "符号链接的层数过多"},
    {EMFILE, "打开的文件过多"},
    {ENFILE, "系统中打开的文件过多"},
    {ENOMEM, "内存不足"},
    {ENXIO, "没有那个设备或地址"},
    {ENODEV, "没有那个设备"},
    {EBUSY, "设备或资源忙"},
    {EAGAIN, "资源暂时不可用"},
    {EINTR, "系统调用被中断"},
    {EINVAL, "无效的参数"},
    {EFBIG, "文件过大"},
    {EOVERFLOW, "数值超出数据类型的范围"},
    {ESTALE, "文件句柄已失效"},
    {ETIMEDOUT, "连接超时"},
    {ENOTCONN, "传输端点尚未连接"},
    {ENOMEDIUM, "找不到介质"},
    {ECANCELED, "操作已取消"},
    {EBADF, "错误的文件描述符"},
    {EOPNOTSUPP, "不支持的操作"},
    {ENOSPC, "设备上没有空间"},
    {EROFS, "只读文件系统"},
};

// The Chinese words of the mode (the Traditional ones converted).
std::string InMode(std::string_view chinese, LanguageMode mode) {
    return mode == LanguageMode::Traditional ? ConvertToBig5(chinese) : std::string(chinese);
}

// A form split into its pieces: literal text, or a part in braces.
struct Piece {
    std::string_view text; // the literal, or the part's name ("name", "n", ...)
    bool part = false;
};

std::vector<Piece> PiecesOf(std::string_view form) {
    std::vector<Piece> pieces;
    while (!form.empty()) {
        const std::size_t open = form.find('{');
        if (open != 0) {
            pieces.push_back({form.substr(0, open), false});
            if (open == std::string_view::npos) {
                break;
            }
        }
        const std::size_t close = form.find('}', open);
        pieces.push_back({form.substr(open + 1, close - open - 1), true});
        form.remove_prefix(close + 1);
    }
    return pieces;
}

std::optional<std::string> Known(std::string_view text, LanguageMode mode, bool reasonOnly);

bool IsNumber(std::string_view text) {
    for (const char c : text) {
        if ((c < '0' || c > '9') && c != ',') {
            return false;
        }
    }
    return !text.empty();
}

// Whether candidate may stand for the part.
bool Fits(std::string_view part, std::string_view candidate, LanguageMode mode) {
    if (candidate.empty()) {
        return false;
    }
    if (part == "n") {
        return IsNumber(candidate);
    }
    if (part == "known") {
        return Known(candidate, mode, true).has_value();
    }
    return true;
}

// Matches the pieces from index against the whole of text, the parts'
// texts into parts. The shortest text that fits a part is tried first.
bool Match(const std::vector<Piece>& pieces, std::size_t index, std::string_view text,
           std::vector<std::string_view>& parts, LanguageMode mode) {
    if (index == pieces.size()) {
        return text.empty();
    }
    const Piece& piece = pieces[index];
    if (!piece.part) {
        return text.starts_with(piece.text) &&
               Match(pieces, index + 1, text.substr(piece.text.size()), parts, mode);
    }
    const std::string_view next =
        index + 1 < pieces.size() && !pieces[index + 1].part ? pieces[index + 1].text : "";
    for (std::size_t length = index + 1 == pieces.size() ? text.size() : 1; length <= text.size();
         ++length) {
        if (!next.empty() && !text.substr(length).starts_with(next)) {
            continue;
        }
        const std::string_view candidate = text.substr(0, length);
        if (!Fits(piece.text, candidate, mode)) {
            continue;
        }
        parts.push_back(candidate);
        if (Match(pieces, index + 1, text.substr(length), parts, mode)) {
            return true;
        }
        parts.pop_back();
    }
    return false;
}

// A part's text as the window shows it.
std::string PartInMode(std::string_view part, std::string_view text, LanguageMode mode) {
    if (part == "name") {
        return text == "standard input" ? InMode("标准输入", mode) : std::string(text);
    }
    if (part == "why" || part == "known") {
        return Known(text, mode, true).value_or(std::string(text));
    }
    return std::string(text);
}

// The form's words for text in the mode, when the form fits it.
std::optional<std::string> InForm(const WordForm& form, std::string_view text, LanguageMode mode) {
    const std::vector<Piece> pieces = PiecesOf(form.engine);
    std::vector<std::string_view> parts;
    if (!Match(pieces, 0, text, parts, mode)) {
        return std::nullopt;
    }
    std::string shown;
    std::size_t next = 0;
    for (const Piece& piece : PiecesOf(form.chinese)) {
        shown +=
            piece.part ? PartInMode(piece.text, parts.at(next++), mode) : InMode(piece.text, mode);
    }
    return shown;
}

// text in the mode's words when the reasons (the system's error texts
// among them), or unless reasonOnly the messages, know it.
std::optional<std::string> Known(std::string_view text, LanguageMode mode, bool reasonOnly) {
    // The C library's texts, made once.
    static const std::vector<std::string> systemTexts = [] {
        std::vector<std::string> texts;
        for (const ErrorWords& error : kErrors) {
            texts.push_back(std::generic_category().message(error.code));
        }
        return texts;
    }();
    for (std::size_t i = 0; i < systemTexts.size(); ++i) {
        if (text == systemTexts[i]) {
            return InMode(kErrors[i].chinese, mode);
        }
    }
    for (const WordForm& form : kReasons) {
        if (std::optional<std::string> shown = InForm(form, text, mode)) {
            return shown;
        }
    }
    if (!reasonOnly) {
        for (const WordForm& form : kMessages) {
            if (std::optional<std::string> shown = InForm(form, text, mode)) {
                return shown;
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::string VerifyWords(std::string_view text, LanguageMode mode) {
    if (mode == LanguageMode::English) {
        return std::string(text);
    }
    return Known(text, mode, false).value_or(std::string(text));
}

} // namespace varnel
