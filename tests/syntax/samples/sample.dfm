object MainForm: TMainForm
  Left = 220
  Top = 162
  Width = 677
  Height = 496
  Caption = 'Vornish '#8211' demo'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = [fsBold, fsItalic]
  OldCreateOrder = False
  Position = poDesigned
  PixelsPerInch = 96
  TextHeight = 13
  object btnFind: TSpeedButton
    Left = 16
    Top = 8
    Width = 57
    Height = 25
    Caption = 'Find'
    Flat = True
    OnClick = btnFindClick
  end
  object lstItems: TListView
    Left = 0
    Top = 72
    Columns = <
      item
        Caption = 'Name'
        Width = 120
      end
      item
        Caption = 'It''s quoted'
        Width = -1
      end>
    Items.Strings = (
      'first'
      'second')
    ScaleFactor = 1.25
    TabOrder = 0
  end
  object imgLogo: TImage
    Picture.Data = {
      0954506E67496D61676589504E470D0A1A0A0000000D49484452000000100000
      00100806000000}
  end
  inherited pnlBottom: TPanel
    Align = alBottom
  end
  object lblOpen: TLabel
    Caption = 'a caption that never ends
