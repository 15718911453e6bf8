; Setup program of Verolux for Windows desktops: a per-user install into %LOCALAPPDATA%\Verolux, where
; the launcher may replace the agent with a newer one from the backend without an administrator.
; Built by scripts/windows/installer.sh, which defines:
;   VERSION   the programs' version (1.2.3)
;   DEPLOY    the folder of programs, DLLs and plugins to install
;   HELPER    SetupHelper.exe (packaging/windows/SetupHelper.cpp)
;   FILES     an include file with the uninstaller's Delete and RMDir lines for DEPLOY's content
;   OUTFILE   the setup program to write
;
; Command line (besides NSIS's own /S and /D=folder):
;   /WEBSURL=https://erp.example.com   the company's backend, written into MyIni.ini
; A file verolux.ini beside the setup program, in the format of MyIni.ini, has each of its keys that
; holds a value written into MyIni.ini (before /WEBSURL, which wins). Other keys of MyIni.ini stay.
; The uninstaller keeps MyIni.ini, MyLog.txt and the templates in report\ unless asked (its page's
; check box, or /PURGE when silent).
; Exit codes: 0 done, 1 cancelled, 2 aborted (files could not be written), 4 a WebsUrl that is no
; http:// or https:// URL, 5 a Verolux program still running from the folder.

Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Verolux"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "Verolux"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Verolux"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Verolux ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Verolux"
VIAddVersionKey /LANG=0 "FileDescription" "Verolux setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Verolux developers"

Var WebsUrl
Var WasRunning
Var Upgrade

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kestrane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString StartNow ${LANG_ENGLISH} "Start Verolux now"
LangString StartNow ${LANG_SIMPCHINESE} "立即启动 Web报表服务端"
LangString Running ${LANG_ENGLISH} "Verolux is running from $INSTDIR.$\r$\n$\r$\nExit it from its icon's menu (Exit) and choose Retry, or choose Ignore to end it now (a print in progress is lost)."
LangString Running ${LANG_SIMPCHINESE} "Web报表服务端正在从 $INSTDIR 运行。$\r$\n$\r$\n请从其图标菜单中退出后选择“重试”，或选择“忽略”立即结束它（正在进行的打印将丢失）。"
LangString StillRunning ${LANG_ENGLISH} "Verolux could not be ended; nothing was changed."
LangString StillRunning ${LANG_SIMPCHINESE} "无法结束 Web报表服务端；未做任何更改。"
LangString BadUrl ${LANG_ENGLISH} "The backend address is not an http:// or https:// URL:"
LangString BadUrl ${LANG_SIMPCHINESE} "后台地址不是 http:// 或 https:// 网址："
LangString PurgeName ${LANG_ENGLISH} "Settings, log and report templates"
LangString PurgeName ${LANG_SIMPCHINESE} "设置、日志和报表模板"
LangString ProgramsName ${LANG_ENGLISH} "Programs and Start-menu entries"
LangString ProgramsName ${LANG_SIMPCHINESE} "程序和开始菜单项"

; Ends the Verolux programs running from $INSTDIR, asking first unless silent. Sets $WasRunning to 1
; when one ran. Quits with exit code 5 when one is still running.
!macro EndRunningPrograms un
Function ${un}EndRunningPrograms
    StrCpy $WasRunning 0
    nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" running "$INSTDIR"'
    Pop $0
    ${If} $0 != 3
        Return
    ${EndIf}
    StrCpy $WasRunning 1
    ${IfNot} ${Silent}
    ask:
        MessageBox MB_ABORTRETRYIGNORE|MB_ICONEXCLAMATION "$(Running)" IDRETRY retry IDIGNORE end
        SetErrorLevel 1
        Quit
    retry:
        nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" running "$INSTDIR"'
        Pop $0
        StrCmp $0 3 ask done
    ${EndIf}
end:
    ; Silent installs end them: IT's deployment cannot answer a question.
    nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" end "$INSTDIR" 5'
    Pop $0
    ${If} $0 != 0
        IfSilent +2
        MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)"
        SetErrorLevel 5
        Quit
    ${EndIf}
done:
FunctionEnd
!macroend
!insertmacro EndRunningPrograms ""
!insertmacro EndRunningPrograms "un."

; Checks a WebsUrl before anything is installed, by writing it into a scratch file.
Function CheckSettings
    ${If} ${FileExists} "$EXEDIR\verolux.ini"
        nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" merge-ini "$PLUGINSDIR\check.ini" "$EXEDIR\verolux.ini"'
        Pop $0
        ${If} $0 != 0
            StrCpy $1 "$EXEDIR\verolux.ini"
            Goto bad
        ${EndIf}
    ${EndIf}
    ${If} $WebsUrl != ""
        nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" set-ini "$PLUGINSDIR\check.ini" AppInfo WebsUrl "$WebsUrl"'
        Pop $0
        ${If} $0 != 0
            StrCpy $1 "$WebsUrl"
            Goto bad
        ${EndIf}
    ${EndIf}
    Return
bad:
    IfSilent +2
    MessageBox MB_OK|MB_ICONSTOP "$(BadUrl)$\r$\n$1"
    SetErrorLevel 4
    Quit
FunctionEnd

; The value of an option NAME=value in the parameters ("" when absent): up to the next blank, or
; within quotes ("/NAME=a b" or /NAME="a b"). GetOptions would cut a URL at its "//".
; Stack: parameters, NAME= in; value out.
Function OptionValue
    Exch $1 ; NAME=
    Exch
    Exch $0 ; parameters
    Push $2
    Push $3
    Push $4
    StrLen $3 $1
    StrCpy $2 0
    find:
        StrCpy $4 $0 $3 $2
        StrCmp $4 "" none
        StrCmp $4 $1 found ; without regard to case
        IntOp $2 $2 + 1
        Goto find
    found:
        ; A quote just before the name closes the value, as does one just after the "=".
        StrCpy $4 " "
        IntOp $2 $2 - 1
        ${If} $2 >= 0
            StrCpy $4 $0 1 $2
            ${If} $4 != '"'
                StrCpy $4 " "
            ${EndIf}
        ${EndIf}
        IntOp $2 $2 + 1
        IntOp $2 $2 + $3
        StrCpy $0 $0 "" $2
        StrCpy $3 $0 1
        ${If} $3 == '"'
            StrCpy $4 '"'
            StrCpy $0 $0 "" 1
        ${EndIf}
        StrCpy $2 0
    cut:
        StrCpy $3 $0 1 $2
        StrCmp $3 "" done
        StrCmp $3 $4 done
        IntOp $2 $2 + 1
        Goto cut
    done:
        StrCpy $0 $0 $2
        Goto end
    none:
        StrCpy $0 ""
    end:
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd

Function .onInit
    InitPluginsDir
    File "/oname=$PLUGINSDIR\SetupHelper.exe" "${HELPER}"
    ${GetParameters} $R0
    Push $R0
    Push "/WEBSURL="
    Call OptionValue
    Pop $WebsUrl
    Call CheckSettings
FunctionEnd

Section "Verolux"
    StrCpy $Upgrade 0
    ${If} ${FileExists} "$INSTDIR\Verolux.exe"
        StrCpy $Upgrade 1
    ${EndIf}
    Call EndRunningPrograms

    SetOutPath "$INSTDIR"
    SetOverwrite on
    ; A user's settings, log and templates are never part of what is installed.
    File /r /x MyIni.ini /x MyLog.txt "${DEPLOY}\*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; The folder's programs are now these: the update checks start from their version.
    nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" set-ini "$INSTDIR\MyIni.ini" AppInfo PrintVer "${VERSION}"'
    nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" set-ini "$INSTDIR\MyIni.ini" AppInfo ShellVer "${VERSION}"'
    ${If} ${FileExists} "$EXEDIR\verolux.ini"
        DetailPrint "Settings from $EXEDIR\verolux.ini"
        nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" merge-ini "$INSTDIR\MyIni.ini" "$EXEDIR\verolux.ini"'
    ${EndIf}
    ${If} $WebsUrl != ""
        nsExec::ExecToLog '"$PLUGINSDIR\SetupHelper.exe" set-ini "$INSTDIR\MyIni.ini" AppInfo WebsUrl "$WebsUrl"'
    ${EndIf}

    ; The agent is started through its launcher, which first brings it up to date.
    CreateShortcut "$SMPROGRAMS\Verolux.lnk" "$INSTDIR\Kestrane.exe" "" "$INSTDIR\Verolux.exe" 0
    CreateShortcut "$SMPROGRAMS\Verolux Designer.lnk" "$INSTDIR\verolux-designer.exe"
    ; Start at login on a first install; an upgrade keeps what the user chose in the agent's menu.
    ${If} $Upgrade == 0
        WriteRegStr HKCU "${RUN_KEY}" "Verolux" '"$INSTDIR\Kestrane.exe"'
    ${EndIf}

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Verolux"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Verolux"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Verolux.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; An agent that ran before the upgrade runs again, the new one.
    ${If} $WasRunning == 1
    ${AndIf} ${Silent}
        Exec '"$INSTDIR\Kestrane.exe"'
    ${EndIf}
SectionEnd

Section "!un.$(ProgramsName)" SecPrograms
    SectionIn RO
    Call un.EndRunningPrograms
    !include "${FILES}"
    Delete "$INSTDIR\Uninstall.exe"
    Delete "$SMPROGRAMS\Verolux.lnk"
    Delete "$SMPROGRAMS\Verolux Designer.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "Verolux"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Gone only when empty: MyIni.ini, MyLog.txt, history.jsonl, report\ and recovery\ stay unless purged.
    RMDir "$INSTDIR"
SectionEnd

Section /o "un.$(PurgeName)" SecPurge
    ; The whole folder only when it is ours by its name: /D= may have named a folder of other things.
    ${GetFileName} "$INSTDIR" $0
    ${If} $0 == "Verolux"
        RMDir /r "$INSTDIR"
    ${Else}
        Delete "$INSTDIR\MyIni.ini"
        Delete "$INSTDIR\.MyIni.ini.*"
        Delete "$INSTDIR\MyLog.txt"
        Delete "$INSTDIR\Verolux.lock"
        Delete "$INSTDIR\repdata.txt"
        Delete "$INSTDIR\history.jsonl"
        RMDir /r "$INSTDIR\report"
        RMDir /r "$INSTDIR\recovery"
        RMDir "$INSTDIR"
    ${EndIf}
SectionEnd

; After the sections: it selects one by its index.
Function un.onInit
    InitPluginsDir
    File "/oname=$PLUGINSDIR\SetupHelper.exe" "${HELPER}"
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/PURGE" $R1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecPurge} ${SF_SELECTED}
    ${EndIf}
FunctionEnd
