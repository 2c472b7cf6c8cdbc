object MainForm: TMainForm
  Left = 469
  Top = 119
  BorderStyle = bsDialog
  Caption = 'Kavrenta RTLインストール'
  ClientHeight = 128
  ClientWidth = 360
  Font.Charset = SHIFTJIS_CHARSET
  Font.Color = clWindowText
  Font.Height = -15
  Font.Name = 'ＭＳ Ｐゴシック'
  Scaled = False
  PixelsPerInch = 96
  TextHeight = 15
  object Label1: TLabel
    Left = 8
    Top = 8
    Width = 272
    Height = 15
    Caption = 'VCL35.BPL,VCL35JPN,BORLNDMM.DLLを'
  end
  object Label2: TLabel
    Left = 8
    Top = 32
    Width = 308
    Height = 15
    Caption = 'WindowsのSystemフォルダにインストールします。'
  end
  object Label3: TLabel
    Left = 8
    Top = 56
    Width = 109
    Height = 15
    Caption = 'よろしいですか？'
  end
  object BitBtn1: TBitBtn
    Left = 180
    Top = 88
    Width = 80
    Height = 28
    TabOrder = 0
    OnClick = BitBtn1Click
    Kind = bkOK
  end
  object BitBtn2: TBitBtn
    Left = 268
    Top = 88
    Width = 80
    Height = 28
    TabOrder = 1
    OnClick = BitBtn2Click
    Kind = bkCancel
  end
end
