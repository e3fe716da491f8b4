; Plume's setup program. scripts/windows-setup builds it from the folder the portable zip is
; made of, with
;   makensis -DVERSION=x.y.z -DSTAGE=<folder> -DFILES=<files.nsh> -DSIZE_KB=<n>
;            -DUSERDATA=<UserData.ini> -DOUTFILE=<plume-x.y.z-setup.exe> plume.nsi
; FILES is a list made from that folder: the macro InstallFiles (SetOutPath and File for each
; file) and UninstallFiles (Delete for each file, then RMDir for each folder, deepest first), so
; that uninstalling removes exactly what was installed and nothing a user put beside it.
;
; Who it installs for: the current user, into %LOCALAPPDATA%\Programs\Plume (HKCU, the user's
; Start menu), unless /ALLUSERS is given, which installs into Program Files for every user (HKLM,
; the common Start menu) and needs an administrator. The rule does not follow elevation by
; itself: an administrator's shell is often elevated without meaning a machine-wide install, and
; Plume keeps one user's drawings and settings, so the per-user copy is the usual one.
; Silent: /S installs (and /S on the uninstaller removes) without a question; /OPENWITH adds the
; "Open with" entries in silent mode; /D=<folder> as the last argument chooses the folder.
; Over an earlier install for the same users, the earlier one's uninstaller runs first (files
; the new version dropped go with it) and the new one goes into its folder, keeping its
; Open-with choice.
Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
Target amd64-unicode

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include Sections.nsh
!include "${FILES}"

!define APP "Plume"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Plume"
!define PROGID "Plume.Metafile"

Name "${APP}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${APP}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey /LANG=0 "CompanyName" "Tovari"
VIAddVersionKey /LANG=0 "LegalCopyright" "Tovari"

Var AllUsers

!ifdef ICON
    !define MUI_ICON "${ICON}"
    !define MUI_UNICON "${ICON}"
!endif
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\plume.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; An earlier install for the same users goes first, through its own uninstaller: it deletes
; the files of its own list, those this version no longer has among them, and never the
; drawings or settings. Run in place (_?=) so that the setup waits for it; an uninstaller
; cannot delete itself there, so that is done after it.
Function RemovePrevious
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        DetailPrint "$0 の以前の版を削除します"
        ExecWait '"$0\uninstall.exe" /S _?=$0'
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}
FunctionEnd

Section "Plume" SecMain
    SectionIn RO
    Call RemovePrevious
    !insertmacro InstallFiles
    ; The installed copy keeps each user's settings in the user's own folder (%usr%): the
    ; program folder is shared, and under Program Files not writable by the user.
    SetOutPath "$INSTDIR"
    File "/oname=UserData.ini" "${USERDATA}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\plume.exe" "" "$INSTDIR\plume.exe" 0 \
        SW_SHOWNORMAL "" "メタファイル画像の保管"

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Tovari"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\plume.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; "Open with" for .emf and .wmf: Plume is offered in the Explorer's Open-with list for both,
; without becoming their default program. Off unless chosen.
Section /o "「プログラムから開く」に .emf と .wmf を追加" SecOpenWith
    WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "メタファイル画像"
    WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\plume.exe",0'
    WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\plume.exe" "%1"'
    WriteRegStr SHCTX "Software\Classes\Applications\plume.exe" "FriendlyAppName" "${APP}"
    WriteRegStr SHCTX "Software\Classes\Applications\plume.exe\shell\open\command" "" '"$INSTDIR\plume.exe" "%1"'
    WriteRegStr SHCTX "Software\Classes\Applications\plume.exe\SupportedTypes" ".emf" ""
    WriteRegStr SHCTX "Software\Classes\Applications\plume.exe\SupportedTypes" ".wmf" ""
    WriteRegStr SHCTX "Software\Classes\.emf\OpenWithProgids" "${PROGID}" ""
    WriteRegStr SHCTX "Software\Classes\.wmf\OpenWithProgids" "${PROGID}" ""
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'  ; SHCNE_ASSOCCHANGED
SectionEnd

; After the sections, whose numbers it uses.
Function .onInit
    SetRegView 64
    StrCpy $AllUsers 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ALLUSERS" $1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/OPENWITH" $1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecOpenWith}
    ${EndIf}
    ${If} $AllUsers == 1
        UserInfo::GetAccountType
        Pop $1
        ${If} $1 != "Admin"
            MessageBox MB_OK "/ALLUSERS: すべてのユーザーに入れるには管理者として実行してください" /SD IDOK
            SetErrorLevel 740
            Quit
        ${EndIf}
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
    ; An earlier install for the same users is updated in its own folder, and keeps its
    ; Open-with choice (its uninstaller, run first, removes the entries).
    ReadRegStr $2 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $2 != ""
        ReadRegStr $1 SHCTX "Software\Classes\${PROGID}\shell\open\command" ""
        ${If} $1 == '"$2\plume.exe" "%1"'
            !insertmacro SelectSection ${SecOpenWith}
        ${EndIf}
    ${EndIf}
    ${If} $INSTDIR == ""
        StrCpy $INSTDIR $2
    ${EndIf}
    ${If} $INSTDIR == ""
        ${If} $AllUsers == 1
            StrCpy $INSTDIR "$PROGRAMFILES64\${APP}"
        ${Else}
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${APP}"
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    SetRegView 64
    ; Installed for every user when the machine's uninstall entry names this folder.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        UserInfo::GetAccountType
        Pop $1
        ${If} $1 != "Admin"
            MessageBox MB_OK "管理者として実行してください" /SD IDOK
            SetErrorLevel 740
            Quit
        ${EndIf}
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd

; The open-with entries go only when they name this copy of Plume.
!macro RemoveOpenWith
    ReadRegStr $0 SHCTX "Software\Classes\${PROGID}\shell\open\command" ""
    ${If} $0 == '"$INSTDIR\plume.exe" "%1"'
        DeleteRegKey SHCTX "Software\Classes\${PROGID}"
        DeleteRegValue SHCTX "Software\Classes\.emf\OpenWithProgids" "${PROGID}"
        DeleteRegValue SHCTX "Software\Classes\.wmf\OpenWithProgids" "${PROGID}"
        DeleteRegKey /ifempty SHCTX "Software\Classes\.emf\OpenWithProgids"
        DeleteRegKey /ifempty SHCTX "Software\Classes\.wmf\OpenWithProgids"
        DeleteRegKey /ifempty SHCTX "Software\Classes\.emf"
        DeleteRegKey /ifempty SHCTX "Software\Classes\.wmf"
    ${EndIf}
    ReadRegStr $0 SHCTX "Software\Classes\Applications\plume.exe\shell\open\command" ""
    ${If} $0 == '"$INSTDIR\plume.exe" "%1"'
        DeleteRegKey SHCTX "Software\Classes\Applications\plume.exe"
    ${EndIf}
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

; Removes what the setup program put in place, file by file. The user's drawings and settings
; (User.xml, the working folder, the user data folder) are never among them; a folder that
; still holds anything else stays.
Section "Uninstall"
    Delete "$SMPROGRAMS\${APP}.lnk"
    !insertmacro RemoveOpenWith
    !insertmacro UninstallFiles
    Delete "$INSTDIR\UserData.ini"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
