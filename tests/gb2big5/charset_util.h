#pragma once

// Charset conversions for tests, through glibc's iconv: an implementation
// independent of the conversion library, used to state expected bytes.

#include <iconv.h>
#include <optional>
#include <string>
#include <string_view>

namespace varnel::test {

// text converted from charset `from` to charset `to`, or nothing when any
// part of it cannot be converted.
inline std::optional<std::string> Recode(std::string_view text, const char* from, const char* to) {
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in(text);
    std::string out(in.size() * 4 + 4, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

inline std::optional<std::string> Utf8ToGb(std::string_view text) {
    return Recode(text, "UTF-8", "GB2312");
}
inline std::optional<std::string> Utf8ToBig5(std::string_view text) {
    return Recode(text, "UTF-8", "BIG5");
}
inline std::optional<std::string> GbToUtf8(std::string_view text) {
    return Recode(text, "GB2312", "UTF-8");
}
inline std::optional<std::string> Big5ToUtf8(std::string_view text) {
    return Recode(text, "BIG5", "UTF-8");
}

// The program's own texts (labels, captions, hints) and their Traditional
// forms, checked by hand against Taiwan usage (複製 for copy, 關閉 for close).
struct LabelPair {
    std::string_view simplified;
    std::string_view traditional;
};

inline constexpr LabelPair kProgramTexts[] = {
    {"文件名称：", "文件名稱："},
    {"文件版本：V", "文件版本：V"},
    {"文件大小：", "文件大小："},
    {" 字节", " 字節"},
    {"修改时间：", "修改時間："},
    {"CRC32值 ：", "CRC32值 ："},
    {"SHA1值   ：", "SHA1值   ："},
    {"MD5值     ：", "MD5值     ："},
    {"关闭", "關閉"},
    {"关闭退出", "關閉退出"},
    {"结束", "結束"},
    {"结束运行", "結束運行"},
    {"复制", "複製"},
    {"复制内容", "複製內容"},
    {"清除", "清除"},
    {"清除内容", "清除內容"},
    {"打开", "打開"},
    {"打开文件", "打開文件"},
    {"打开目录", "打開目錄"},
    {"比较", "比較"},
    {"比较两个文件", "比較兩個文件"},
    {"批量", "批量"},
    {"更多工具", "更多工具"},
    {"更多实用工具", "更多實用工具"},
    {"返回主窗体", "返回主窗體"},
    {"显示CRC32值", "顯示CRC32值"},
    {"显示文件版本", "顯示文件版本"},
    {"显示修改时间", "顯示修改時間"},
    {"显示文件大小", "顯示文件大小"},
    {"下载工具箱", "下載工具箱"},
    {"官方网站", "官方網站"},
    {"关于作者", "關於作者"},
    {"请选中文件夹,然后确定.", "請選中文件夾,然後確定."},
    {"Varnel只是Quarrow2013的一个组件.", "Varnel只是Quarrow2013的一個組件."},
    {"酷毙了的 XP 窗体控件 (支持换皮肤)", "酷斃了的 XP 窗體控件 (支持換皮膚)"},
    {"一键下载 Quarrow.", "一鍵下載 Quarrow."},
    {"向您提出以下建议:", "向您提出以下建議:"},
    {" 年 ", " 年 "},
    {"作者: ", "作者: "},
};

} // namespace varnel::test
