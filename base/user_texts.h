// Every text the converter shows its user, in one place; GBK bytes once compiled.
#pragma once

#include <string_view>

namespace quillet {

// Message box captions.
inline constexpr const char* kErrorCaption = "错误";
inline constexpr const char* kDefaultCaption = "信息：";

// The fatal report: its heading, the lines before the code and the message, and the
// allocator's message, whose %d is the size asked for.
inline constexpr std::string_view kFatalHeading = "运行时出错!\r\n\r\n";
inline constexpr std::string_view kFatalCodeLabel = "错误代码：";
inline constexpr std::string_view kFatalMessageLabel = "错误信息：";
inline constexpr std::string_view kAllocationFailedPattern = "分配 %d 字节内存失败!";

// The frame's fatal faults.
inline constexpr const char* kStartWindowNotLoaded = "载入启动窗口失败";
inline constexpr const char* kDesignDataDamaged = "载入窗口模板数据段出错!";
inline constexpr const char* kEventWindowNotFound = "未找到引发事件的窗口";
inline constexpr const char* kEventUnitNotFound = "未找到引发事件的窗口组件";
inline constexpr const char* kEventUnitInvalid = "引发事件的窗口组件无效";
inline constexpr const char* kUnitNotLoaded = "指定窗口或窗口组件不存在或尚未载入";
inline constexpr const char* kUnitWindowNotLoaded = "未载入欲访问窗口组件所在的窗口";
inline constexpr const char* kWindowNotLoaded = "指定窗口尚未载入";

// The main window's labels.
inline constexpr const char* kAddressCaption = "quillet.app.cn";
inline constexpr const char* kHintCaption = "测试版本！将目标拖进来即可";

// What a drop can be told.
inline constexpr const char* kWrongExtension = "请拖入扩展名为 kz 或 zip 的文件";
inline constexpr const char* kOverwrite = "发现同名exe文件，确定覆盖？";
inline constexpr const char* kUnrepresentable =
    "文件名含有当前代码页无法表示的字符，请改名后再拖入";
inline constexpr const char* kTempUnwritable = "无法写入临时文件夹中的文件，exe文件未生成";
inline constexpr const char* kCopyFailed = "生成exe文件失败，请检查目标文件夹是否可写";
inline constexpr const char* kStillBusy = "上一个文件仍在转换，请稍后再拖入";

}  // namespace quillet
