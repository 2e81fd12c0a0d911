#pragma once
// The control identifiers of the page templates (ui/pages.rc), and the
// commands that pages post to themselves.

namespace palisade {

inline constexpr int kForwardButton = 1001;   // Next, Install, Accept, OK
inline constexpr int kBackwardButton = 1003;  // Cancel, Decline
inline constexpr int kDocumentView = 1005;    // licence or readme text
inline constexpr int kProgressBar = 1007;
inline constexpr int kMainText = 1009;        // the page's prompt or main text
inline constexpr int kProgressStatus = 1011;
inline constexpr int kBrowseButton = 1013;
inline constexpr int kFolderEdit = 1015;
inline constexpr int kLanguageList = 1017;
inline constexpr int kPasswordEdit = 1019;
inline constexpr int kSidePicture = 1021;
inline constexpr int kOpenDocumentCheckBox = 1023;
inline constexpr int kLaunchCheckBox = 1025;
inline constexpr int kViewLogCheckBox = 1027;
inline constexpr int kOpenSecondCheckBox = 1029;
inline constexpr int kBannerPicture = 1032;
inline constexpr int kBannerCaption = 1034;  // banner line 1: the installer caption
inline constexpr int kBannerTitle = 1035;    // banner line 2: the page title
inline constexpr int kSpaceRequired = 1036;
inline constexpr int kSpaceAvailable = 1037;
inline constexpr int kPasswordLabel = 1039;
inline constexpr int kGreetingLink = 1040;
inline constexpr int kWhitePanel = 1042;
inline constexpr int kSeparatorLine = 66;

// Commands a page posts to itself.
inline constexpr int kRecomputeDiskSpace = 1038;
inline constexpr int kComeToForeground = 1043;
inline constexpr int kComeToForegroundAndFocus = 1044;

// The identifier that Escape and the close box send; pages ignore it.
inline constexpr int kCloseCommand = 2;

}  // namespace palisade
